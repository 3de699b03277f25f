#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/spooler_service.h"

// A local spooler in memory: queues with the driver each uses, drivers and ports. Records the
// calls made in order, fails any of them on demand, and counts open printer handles.
class CFakeSpoolerService : public ISpoolerService {
  public:
    struct Queue {
        std::wstring name;
        std::wstring driver;
    };

    std::vector<Queue> queues;
    std::set<std::wstring> drivers;
    StringList ports{L"LPT1:", L"COM1:", L"USB001"};

    bool failList = false;
    bool failPorts = false;
    bool failPurge = false;
    bool failDelete = false;
    bool failClose = false;

    // "open Name", "purge", "delete", "close", "delete driver Name", in the order made.
    std::vector<std::wstring> calls;
    // Told of each call as it is recorded, on the calling thread, before the call acts.
    std::function<void(const std::wstring& call)> onCall;

    // Adds a queue and its driver.
    void AddQueue(const std::wstring& name, const std::wstring& driver);
    bool HasQueue(const std::wstring& name) const;
    bool AllReleased() const { return m_open.empty(); }

    bool ListLocalPrinters(StringList& names) override;
    bool ListPorts(StringList& names) override;
    PrinterHandle OpenPrinter(const wchar_t* name) override;
    bool PurgePrinter(PrinterHandle printer) override;
    bool DeletePrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;
    bool DeletePrinterDriver(const wchar_t* name) override;

  private:
    void Record(const std::wstring& call);

    std::set<PrinterHandle> m_open;
    std::vector<std::wstring> m_openNames;  // the queue of each handle, by handle order
};
