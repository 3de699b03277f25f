#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/spooler_service.h"

// A local spooler in memory, as Windows behaves: names match without regard to case; a deleted
// queue with a handle still open stays, marked for deletion, until its last handle closes; a
// driver that any queue uses, marked or not, cannot be deleted; the default goes with its queue.
// Records the calls made in order, fails some of them on demand, and counts open printer handles.
class CFakeSpoolerService : public ISpoolerService {
  public:
    struct Queue {
        QueueRecord record;  // its name, driver, "port" setting and the rest
        bool pendingDeletion = false;
        int openHandles = 0;
    };

    std::vector<Queue> queues;
    // Installed drivers by name, with the package each came from.
    std::map<std::wstring, std::wstring> drivers;
    // The packages of the driver store, from which a deleted driver can be put back.
    std::set<std::wstring> driverStore;
    std::wstring defaultPrinter;
    // The INFs whose packages were put into the driver store without a queue.
    StringList stagedPackages;
    StringList ports{L"LPT1:", L"COM1:", L"USB001"};

    // The spooler does not answer (a scheduler not started yet): every call fails, as when the
    // spooler cannot be reached (RPC_S_SERVER_UNAVAILABLE).
    bool down = false;
    bool failList = false;
    bool failPorts = false;
    bool failPurge = false;
    bool failDelete = false;
    bool refuseDelete = false;  // refused for want of rights (RecordPlatformRefusal)
    // Changes a queue as AddQueue makes it, as a spooler that does not keep every setting would.
    std::function<void(QueueRecord&)> alterAdded;
    bool failClose = false;

    // "open Name", "purge", "delete", "close", "delete driver Name", "look up Name", "read Name",
    // "add Name", "install driver Name", "default Name", "read default", in the order made.
    std::vector<std::wstring> calls;
    // Told of each call as it is recorded, on the calling thread, before the call acts.
    std::function<void(const std::wstring& call)> onCall;

    // Adds a queue on `port` and its driver (from the package "<driver>.inf", kept in the store).
    void AddQueue(const std::wstring& name, const std::wstring& driver,
                  const std::wstring& port = L"LPT1:");
    bool HasQueue(const std::wstring& name) const;
    // The queue of exactly this name, or null.
    Queue* FindQueue(const std::wstring& name);
    bool AllReleased() const { return m_open.empty(); }

    bool ListLocalPrinters(StringList& names) override;
    bool ListPorts(StringList& names) override;
    PrinterHandle OpenPrinter(const wchar_t* name) override;
    bool PurgePrinter(PrinterHandle printer) override;
    bool DeletePrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;
    bool DeletePrinterDriver(const wchar_t* name) override;
    QueueLookup LookUpQueue(const wchar_t* name, QueueState& state) override;
    bool ReadQueue(const wchar_t* name, QueueRecord& record) override;
    bool IsDriverInstalled(const wchar_t* name) override;
    bool InstallDriverFromPackage(const QueueRecord& record) override;
    bool AddQueue(const QueueRecord& record) override;
    bool SetDefaultPrinter(const wchar_t* name) override;
    // The default's name while its queue is there, else empty: the spooler forgets a default
    // whose queue went (Wine does when the default was given in the queue's own case).
    bool ReadDefaultPrinter(std::wstring& name) override;
    bool StageDriverPackage(const wchar_t* infPath) override;
    // "The fake spooler does not answer: " and the failure's text.
    std::wstring UnreachableReason(const std::optional<PlatformFailure>& failure) override;

  private:
    void Record(const std::wstring& call);
    // The queue the spooler would open by this name (any case, not marked), or null.
    Queue* Match(const std::wstring& name);

    std::map<PrinterHandle, std::wstring> m_open;  // each open handle's queue
    uintptr_t m_nextHandle = 0x100;
};
