#pragma once

#include "platform/spooler_service.h"

// Passes every call on to a real spooler service and counts the printer handles opened and
// closed, so that tests over the real backend can tell that nothing leaked (Wine does not count
// handles: GetProcessHandleCount answers 0).
class CCountingSpoolerService : public ISpoolerService {
  public:
    explicit CCountingSpoolerService(ISpoolerService& inner) : m_inner(inner) {}

    int opened = 0;  // handles OpenPrinter handed out
    int closed = 0;  // ClosePrinter calls

    bool ListLocalPrinters(StringList& names) override { return m_inner.ListLocalPrinters(names); }
    bool ListPorts(StringList& names) override { return m_inner.ListPorts(names); }
    PrinterHandle OpenPrinter(const wchar_t* name) override {
        PrinterHandle printer = m_inner.OpenPrinter(name);
        if (printer != nullptr)
            ++opened;
        return printer;
    }
    bool PurgePrinter(PrinterHandle printer) override { return m_inner.PurgePrinter(printer); }
    bool DeletePrinter(PrinterHandle printer) override { return m_inner.DeletePrinter(printer); }
    bool ClosePrinter(PrinterHandle printer) override {
        ++closed;
        return m_inner.ClosePrinter(printer);
    }
    bool DeletePrinterDriver(const wchar_t* name) override {
        return m_inner.DeletePrinterDriver(name);
    }
    QueueLookup LookUpQueue(const wchar_t* name, QueueState& state) override {
        return m_inner.LookUpQueue(name, state);
    }
    bool ReadQueue(const wchar_t* name, QueueRecord& record) override {
        return m_inner.ReadQueue(name, record);
    }
    bool IsDriverInstalled(const wchar_t* name) override { return m_inner.IsDriverInstalled(name); }
    bool InstallDriverFromPackage(const QueueRecord& record) override {
        return m_inner.InstallDriverFromPackage(record);
    }
    bool AddQueue(const QueueRecord& record) override { return m_inner.AddQueue(record); }
    bool SetDefaultPrinter(const wchar_t* name) override { return m_inner.SetDefaultPrinter(name); }
    bool ReadDefaultPrinter(std::wstring& name) override {
        return m_inner.ReadDefaultPrinter(name);
    }
    bool StageDriverPackage(const wchar_t* inf) override { return m_inner.StageDriverPackage(inf); }
    std::wstring UnreachableReason(const std::optional<PlatformFailure>& failure) override {
        return m_inner.UnreachableReason(failure);
    }

  private:
    ISpoolerService& m_inner;
};
