#pragma once

#include <optional>
#include <string>

#include "install/run/install_method.h"
#include "platform/queue_record.h"

// install/cups/ owns the queue install on CUPS (this class), where the setup makes the queue itself
// in one request, and the PPD facts it needs (ppd_file.h). It implements install/run/'s
// IInstallMethod and otherwise uses the setup record (setupdata/) and the platform seam.

// The install where the setup makes the printer's queue itself, in one request to the spooler
// with its device and its driver: CUPS. Queue names there cannot hold blanks and applications
// print to them, so the queue is named after the printer by QueueNameOf and the printer's full
// name becomes the queue's description. The setup record's printer name is the queue's name
// throughout the run; this object keeps the printer's full name.
//
// The driver comes from the printer's family: the PPD that a packager put in the setup folder
// (PrinterDriver\24pin\*.ppd, PrinterDriver\9pin\*.ppd), else the ESC/P sample driver of that
// family that CUPS ships.
class CQueueInstall : public IInstallMethod {
  public:
    explicit CQueueInstall(std::wstring printerName);

    // The queue name of a printer name: letters, digits, "-", "." and "_" of ASCII kept, every
    // other run of characters one "_" ("Korvel RV-90" → "Korvel_RV-90"), at most 127 characters.
    // Empty when nothing of the name is left.
    static std::wstring QueueNameOf(const std::wstring& printerName);

    // The make and model of the sample driver CUPS ships for a family; null for no family.
    static const wchar_t* SystemDriverOf(int32_t type);

    // The new queue's record with its driver (the setup folder's PPD read, or the scheduler's
    // driver found), and the log's note on the other queues described as the printer, which reads
    // every queue: on a print server with hundreds of queues that takes many seconds, which must
    // not be spent while the printer is gone.
    bool Prepare(SetupContext& setup) override;
    bool Install(SetupContext& setup) override;
    void ApplyOptions(SetupContext& setup) override;

    // Whether the queue of the setup record is there on its port, described as the printer, with
    // the driver an install would give it now.
    bool IsInstalledAsAsked(const SetupContext& setup);

    // The device URI without its user information ("socket://alice:pw@host" → "socket://host").
    static std::wstring WithoutUserInfo(const std::wstring& uri);

    // The driver an install would give the queue now (a PPD's nickname or the system driver's
    // make and model); empty when none can be had.
    std::wstring DriverFor(const SetupContext& setup);

    // Makes the queue of the setup record the default printer. False (logged) when refused.
    bool MakeDefault(const SetupContext& setup);

    const std::wstring& PrinterName() const { return m_printerName; }

  private:
    // Whether the queue of the setup record is there, not marked for deletion, on the device
    // asked for, or on it as the scheduler shows it to a run that may not read its credentials.
    bool IsOnTheAskedDevice(const SetupContext& setup);
    // The record of the new queue, with its driver; false (logged) when none can be had.
    bool NewQueue(const SetupContext& setup, QueueRecord& record);
    bool UseFamilyPpd(const std::wstring& path, QueueRecord& record);
    // Writes to the log every queue of another name that carries the printer's name as its
    // description: it is kept, since applications print to it by its own name.
    void NameOtherQueues(const std::wstring& queue);

    std::wstring m_printerName;
    // What Prepare read, until Install uses it.
    std::optional<QueueRecord> m_prepared;
};
