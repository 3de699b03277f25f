#include "tests/fakes/fake_spooler_service.h"

#include <algorithm>

#include "platform/name_case.h"
#include "platform/platform_failure.h"

namespace {

constexpr uint32_t kInvalidPrinterName = 1801;
constexpr uint32_t kInvalidHandle = 6;

template <typename T>
T Refuse(const wchar_t* call, uint32_t code, T result) {
    RecordPlatformFailure(call, code, std::wstring(L"the fake spooler refused ") + call);
    return result;
}

}  // namespace

void CFakeSpoolerService::AddQueue(const std::wstring& name, const std::wstring& driver,
                                   const std::wstring& port) {
    QueueRecord record;
    record.name = name;
    record.driver = driver;
    record.driverPackage = driver + L".inf";
    record.settings = {{L"port", port}};
    queues.push_back({record, false, 0});
    drivers.emplace(driver, record.driverPackage);
    driverStore.insert(record.driverPackage);
}

bool CFakeSpoolerService::HasQueue(const std::wstring& name) const {
    return std::any_of(queues.begin(), queues.end(),
                       [&](const Queue& q) { return q.record.name == name; });
}

CFakeSpoolerService::Queue* CFakeSpoolerService::FindQueue(const std::wstring& name) {
    for (Queue& queue : queues) {
        if (queue.record.name == name)
            return &queue;
    }
    return nullptr;
}

CFakeSpoolerService::Queue* CFakeSpoolerService::Match(const std::wstring& name) {
    for (Queue& queue : queues) {
        if (!queue.pendingDeletion && SameNameIgnoringCase(queue.record.name, name))
            return &queue;
    }
    return nullptr;
}

void CFakeSpoolerService::Record(const std::wstring& call) {
    calls.push_back(call);
    if (onCall)
        onCall(call);
}

bool CFakeSpoolerService::ListLocalPrinters(StringList& names) {
    if (down)
        return Refuse<bool>(L"ListLocalPrinters", 1722, false);
    if (failList)
        return Refuse(L"EnumPrintersW", 1722, false);
    for (const Queue& queue : queues)
        names.push_back(queue.record.name);
    return true;
}

bool CFakeSpoolerService::ListPorts(StringList& names) {
    if (down)
        return Refuse<bool>(L"ListPorts", 1722, false);
    if (failPorts)
        return Refuse(L"EnumPortsW", 1722, false);
    names.insert(names.end(), ports.begin(), ports.end());
    return true;
}

PrinterHandle CFakeSpoolerService::OpenPrinter(const wchar_t* name) {
    if (down)
        return Refuse<PrinterHandle>(L"OpenPrinter", 1722, nullptr);
    Record(std::wstring(L"open ") + name);
    Queue* queue = Match(name);
    if (queue == nullptr)
        return Refuse<PrinterHandle>(L"OpenPrinterW", kInvalidPrinterName, nullptr);
    auto handle = reinterpret_cast<PrinterHandle>(m_nextHandle++);
    m_open[handle] = queue->record.name;
    ++queue->openHandles;
    return handle;
}

bool CFakeSpoolerService::PurgePrinter(PrinterHandle printer) {
    if (down)
        return Refuse<bool>(L"PurgePrinter", 1722, false);
    Record(L"purge");
    if (m_open.count(printer) == 0)
        return Refuse(L"SetPrinterW", kInvalidHandle, false);
    return failPurge ? Refuse(L"SetPrinterW", 124, false) : true;
}

bool CFakeSpoolerService::DeletePrinter(PrinterHandle printer) {
    if (down)
        return Refuse<bool>(L"DeletePrinter", 1722, false);
    Record(L"delete");
    const auto open = m_open.find(printer);
    if (open == m_open.end())
        return Refuse(L"DeletePrinter", kInvalidHandle, false);
    if (failDelete)
        return Refuse(L"DeletePrinter", 5, false);
    if (refuseDelete) {
        RecordPlatformRefusal(L"DeletePrinter", 5, L"the fake spooler refused DeletePrinter");
        return false;
    }
    // The handle in hand is open, so the queue is only marked; it goes with its last handle.
    FindQueue(open->second)->pendingDeletion = true;
    return true;
}

bool CFakeSpoolerService::ClosePrinter(PrinterHandle printer) {
    Record(L"close");
    const auto open = m_open.find(printer);
    if (open == m_open.end())
        return Refuse(L"ClosePrinter", kInvalidHandle, false);
    const std::wstring name = open->second;
    m_open.erase(open);
    Queue* queue = FindQueue(name);
    if (--queue->openHandles == 0 && queue->pendingDeletion) {
        queues.erase(std::remove_if(queues.begin(), queues.end(),
                                    [&](const Queue& q) { return q.record.name == name; }),
                     queues.end());
        // Windows and CUPS forget the default with its queue; a queue put back under that name
        // is the default again only when it is made so.
        if (SameNameIgnoringCase(defaultPrinter, name))
            defaultPrinter.clear();
    }
    return failClose ? Refuse(L"ClosePrinter", 5, false) : true;
}

bool CFakeSpoolerService::DeletePrinterDriver(const wchar_t* name) {
    if (down)
        return Refuse<bool>(L"DeletePrinterDriver", 1722, false);
    Record(std::wstring(L"delete driver ") + name);
    const bool inUse = std::any_of(queues.begin(), queues.end(), [&](const Queue& q) {
        return SameNameIgnoringCase(q.record.driver, name);
    });
    if (inUse)
        return Refuse(L"DeletePrinterDriverExW", 3001, false);  // ERROR_PRINTER_DRIVER_IN_USE
    if (drivers.erase(name) == 0)
        return Refuse(L"DeletePrinterDriverExW", 1797, false);  // ERROR_UNKNOWN_PRINTER_DRIVER
    return true;
}

QueueLookup CFakeSpoolerService::LookUpQueue(const wchar_t* name, QueueState& state) {
    if (down)
        return Refuse<QueueLookup>(L"LookUpQueue", 1722, QueueLookup::kUnknown);
    Record(std::wstring(L"look up ") + name);
    if (failList)
        return Refuse(L"OpenPrinterW", 1722, QueueLookup::kUnknown);
    for (const Queue& queue : queues) {
        if (SameNameIgnoringCase(queue.record.name, name)) {
            // A Windows queue's port, or a CUPS queue's device.
            const std::wstring* port = queue.record.Setting(L"port");
            if (port == nullptr)
                port = queue.record.Setting(L"device-uri");
            state.port = port != nullptr ? *port : L"";
            state.pendingDeletion = queue.pendingDeletion;
            return QueueLookup::kPresent;
        }
    }
    return QueueLookup::kAbsent;
}

bool CFakeSpoolerService::ReadQueue(const wchar_t* name, QueueRecord& record) {
    if (down)
        return Refuse<bool>(L"ReadQueue", 1722, false);
    Record(std::wstring(L"read ") + name);
    Queue* queue = Match(name);
    if (queue == nullptr)
        return Refuse(L"OpenPrinterW", kInvalidPrinterName, false);
    record = queue->record;
    record.isDefault = SameNameIgnoringCase(defaultPrinter, name);
    return true;
}

bool CFakeSpoolerService::IsDriverInstalled(const wchar_t* name) {
    if (down)
        return Refuse<bool>(L"IsDriverInstalled", 1722, false);
    return std::any_of(drivers.begin(), drivers.end(), [&](const auto& driver) {
        return SameNameIgnoringCase(driver.first, name);
    });
}

bool CFakeSpoolerService::InstallDriverFromPackage(const QueueRecord& record) {
    if (down)
        return Refuse<bool>(L"InstallDriverFromPackage", 1722, false);
    Record(L"install driver " + record.driver);
    if (driverStore.count(record.driverPackage) == 0)
        return Refuse(L"InstallPrinterDriverFromPackageW", 2, false);
    drivers.emplace(record.driver, record.driverPackage);
    return true;
}

bool CFakeSpoolerService::AddQueue(const QueueRecord& record) {
    if (down)
        return Refuse<bool>(L"AddQueue", 1722, false);
    Record(L"add " + record.name);
    if (std::any_of(queues.begin(), queues.end(), [&](const Queue& q) {
            return SameNameIgnoringCase(q.record.name, record.name);
        }))
        return Refuse(L"AddPrinterW", 1802, false);  // ERROR_PRINTER_ALREADY_EXISTS
    if (!IsDriverInstalled(record.driver.c_str()))
        return Refuse(L"AddPrinterW", 1797, false);
    Queue queue{record, false, 0};
    queue.record.isDefault = false;  // a property of the user's settings, not of the queue
    if (alterAdded)
        alterAdded(queue.record);
    queues.push_back(queue);
    return true;
}

bool CFakeSpoolerService::SetDefaultPrinter(const wchar_t* name) {
    if (down)
        return Refuse<bool>(L"SetDefaultPrinter", 1722, false);
    Record(std::wstring(L"default ") + name);
    Queue* queue = Match(name);
    if (queue == nullptr)
        return Refuse(L"SetDefaultPrinterW", kInvalidPrinterName, false);
    defaultPrinter = queue->record.name;
    return true;
}

bool CFakeSpoolerService::ReadDefaultPrinter(std::wstring& name) {
    if (down)
        return Refuse<bool>(L"ReadDefaultPrinter", 1722, false);
    Record(L"read default");
    name = FindQueue(defaultPrinter) != nullptr ? defaultPrinter : L"";
    return true;
}

bool CFakeSpoolerService::StageDriverPackage(const wchar_t* infPath) {
    if (down)
        return Refuse<bool>(L"StageDriverPackage", 1722, false);
    Record(std::wstring(L"stage ") + infPath);
    stagedPackages.push_back(infPath);
    return true;
}

std::wstring CFakeSpoolerService::UnreachableReason(const std::optional<PlatformFailure>& failure) {
    return L"The fake spooler does not answer" + (failure ? L": " + failure->text : L"") + L".";
}
