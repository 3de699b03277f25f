#include "tests/fakes/fake_spooler_service.h"

#include <algorithm>

void CFakeSpoolerService::AddQueue(const std::wstring& name, const std::wstring& driver) {
    queues.push_back({name, driver});
    drivers.insert(driver);
}

bool CFakeSpoolerService::HasQueue(const std::wstring& name) const {
    return std::any_of(queues.begin(), queues.end(),
                       [&](const Queue& q) { return q.name == name; });
}

bool CFakeSpoolerService::ListLocalPrinters(StringList& names) {
    if (failList)
        return false;
    for (const Queue& queue : queues)
        names.push_back(queue.name);
    return true;
}

bool CFakeSpoolerService::ListPorts(StringList& names) {
    if (failPorts)
        return false;
    names.insert(names.end(), ports.begin(), ports.end());
    return true;
}

PrinterHandle CFakeSpoolerService::OpenPrinter(const wchar_t* name) {
    Record(std::wstring(L"open ") + name);
    if (!HasQueue(name))
        return nullptr;
    m_openNames.push_back(name);
    auto handle = reinterpret_cast<PrinterHandle>(m_openNames.size());
    m_open.insert(handle);
    return handle;
}

bool CFakeSpoolerService::PurgePrinter(PrinterHandle printer) {
    Record(L"purge");
    return m_open.count(printer) != 0 && !failPurge;
}

bool CFakeSpoolerService::DeletePrinter(PrinterHandle printer) {
    Record(L"delete");
    if (m_open.count(printer) == 0 || failDelete)
        return false;
    const std::wstring& name = m_openNames[reinterpret_cast<uintptr_t>(printer) - 1];
    queues.erase(std::remove_if(queues.begin(), queues.end(),
                                [&](const Queue& q) { return q.name == name; }),
                 queues.end());
    return true;
}

bool CFakeSpoolerService::ClosePrinter(PrinterHandle printer) {
    Record(L"close");
    const bool open = m_open.erase(printer) != 0;
    return open && !failClose;
}

bool CFakeSpoolerService::DeletePrinterDriver(const wchar_t* name) {
    Record(std::wstring(L"delete driver ") + name);
    const bool inUse =
        std::any_of(queues.begin(), queues.end(), [&](const Queue& q) { return q.driver == name; });
    return !inUse && drivers.erase(name) != 0;
}

void CFakeSpoolerService::Record(const std::wstring& call) {
    calls.push_back(call);
    if (onCall)
        onCall(call);
}
