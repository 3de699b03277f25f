#include "console/dry_run_plan.h"

#include <vector>

#include "console/change_report.h"
#include "console/console_context.h"
#include "install/run/journal_repair.h"
#include "install/run/queue_backup.h"
#include "install/run/queue_restore.h"
#include "install/run/setup_run.h"
#include "install/run/unfinished_runs.h"
#include "install/spooler/installed_queues.h"
#include "platform/file_store_service.h"
#include "platform/services.h"
#include "platform/session_service.h"

void Say(CConsoleContext& context, const std::wstring& line) {
    // With --json, standard output holds the one line of JSON.
    if (context.Call().json)
        context.Host().Err(line);
    else
        context.Host().Out(line);
}

bool PlanRepairs(CConsoleContext& context) {
    ISessionService* session = Services().session;
    CJournalRepair repair(session != nullptr ? session->AccountName() : std::wstring());
    using Action = CJournalRepair::Action;
    std::vector<std::wstring> planned;
    for (const CJournalRepair::Step& step : repair.Plan()) {
        const Journal& journal = repair.Journals()[step.journal];
        if (step.entry == CJournalRepair::kInstallRecord)
            continue;
        const CQueueBackup::Entry& entry = journal.backup.entries[step.entry];
        const std::wstring& name = entry.record.name;
        const std::wstring where = L" (" + journal.path + L").";
        switch (step.action) {
            case Action::kMakeAgain:
            case Action::kFinish:
                planned.push_back(name);
                Say(context, L"Would first make the queue " + name +
                                 L" again, removed by a run that was stopped before it ended" +
                                 where);
                break;
            case Action::kAcceptNew:
                Say(context, L"Would keep the queue " + entry.making.name +
                                 L" that a run stopped before it ended had installed" + where);
                break;
            case Action::kSupersede:
                Say(context, L"Would leave the queue " + name +
                                 L" as it is: another queue took the place of the one a stopped "
                                 L"run had removed" +
                                 where);
                break;
            case Action::kWait:
                context.Host().Err(
                    L"A run was stopped before it ended" + where.substr(0, where.size() - 1) +
                    L", and the print system could not be asked whether the queue " + name +
                    L" is back: the run would change nothing and wait for it.");
                break;
            case Action::kCloseKept:
            case Action::kCloseDeleted:
                break;
        }
    }
    // What the repair says before it begins: the files of the folder it would not read.
    for (const std::wstring& notice : repair.Notices())
        context.Host().Err(notice);
    context.NoteRepairs(planned, false);
    return !repair.LookFailed();
}

Outcome PlanInstall(CConsoleContext& context, const std::wstring& port) {
    SetupContext& setup = context.Setup();
    if (!PlanRepairs(context))
        return Report(context, L"", {false, L"busy", port}, Outcome::kAnotherInstall);
    StringList queues;
    if (setup.ListPrinters(setup.printerName, queues) < 0) {
        context.Host().Err(L"The spooler's queues could not be listed.");
        return Report(context, L"", {false, L"failed", port}, Outcome::kInstallFailed);
    }
    bool replacesDefault = false;
    for (const std::wstring& queue : queues) {
        Say(context, L"Would save and replace the queue " + queue + L".");
        replacesDefault =
            replacesDefault || LookUpDefaultPrinter(queue.c_str()) == QueueLookup::kPresent;
    }
    CQueueInstall* queueInstall = context.QueueInstall();
    const std::wstring driver = queueInstall != nullptr ? queueInstall->DriverFor(setup)
                                                        : std::wstring(setup.driverInfPath);
    Say(context, L"Would install " + context.PrinterName() + L" on " + port + L" with the driver " +
                     driver + L".");
    if (setup.GetMakeDefault() != 0 || replacesDefault)
        Say(context, L"Would make it the default printer.");
    if (setup.GetPrintTestPage() != 0)
        Say(context, L"Would print a test page.");
    return Report(context, L"", {true, L"installed", port}, Outcome::kSuccess);
}

Outcome PlanRemove(CConsoleContext& context) {
    SetupContext& setup = context.Setup();
    if (!PlanRepairs(context))
        return Report(context, L"", {false, L"busy"}, Outcome::kAnotherInstall);
    StringList queues;
    const int32_t count = setup.ListPrinters(setup.printerName, queues);
    if (count < 0) {
        context.Host().Err(L"The spooler's queues could not be listed.");
        return Report(context, L"", {false, L"failed"}, Outcome::kInstallFailed);
    }
    for (const std::wstring& queue : queues)
        Say(context, L"Would save and remove the queue " + queue + L".");
    return Report(context,
                  count == 0 ? L"No queue of " + std::wstring(setup.printerName) +
                                   L" is installed; nothing to do."
                             : L"",
                  {count > 0, count > 0 ? L"removed" : L"unchanged"}, Outcome::kSuccess);
}

namespace {

// The backup a restore would read: the one named, else the newest. Empty when there is none.
std::wstring BackupToRestore(const ConsoleCall& call) {
    if (!call.arguments.empty())
        return call.arguments[0];
    std::vector<Journal> journals;
    ReadJournals(journals, JournalDetail::kRun);
    return NewestBackupToRestore(journals);
}

}  // namespace

Outcome PlanRestore(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    if (!PlanRepairs(context))
        return Report(context, L"", {false, L"busy"}, Outcome::kAnotherInstall);
    IFileStoreService* store = Services().fileStore;
    const std::wstring file = BackupToRestore(call);
    CQueueBackup backup;
    const BackupRead read = file.empty() ? BackupRead::kUnreadable : ReadBackupFile(file, backup);
    if (read != BackupRead::kRead) {
        context.Host().Err(
            read == BackupRead::kTooLarge && store != nullptr
                ? TooLargeNotice(store->PathOf(CSetupRun::kBackupFolder, file.c_str()))
                : L"The backup file " + file + L" could not be read.");
        return Report(context, L"", {false, L"failed"}, Outcome::kInstallFailed);
    }
    bool changes = false;
    bool whole = true;
    for (const CQueueBackup::Entry& entry : backup.entries) {
        QueueRecord installed;
        const std::wstring& name = entry.record.name;
        switch (MatchSavedQueue(entry.record, installed)) {
            case SavedQueueMatch::kAsSaved:
                Say(context, name + L": installed as it was saved already.");
                break;
            case SavedQueueMatch::kGone:
                Say(context, L"Would make the queue " + name + L" again.");
                changes = true;
                break;
            case SavedQueueMatch::kDiffers:
                whole = whole && call.Has(L"--force");
                changes = changes || call.Has(L"--force");
                Say(context,
                    call.Has(L"--force")
                        ? L"Would save the queue " + name + L" installed now and replace it."
                        : name +
                              L": a queue of this name with other settings is "
                              L"installed; it would be kept (--force replaces it).");
                break;
            case SavedQueueMatch::kUnknown:
                whole = false;
                Say(context, name + L": could not be looked at.");
                break;
        }
    }
    const std::wstring path = store->PathOf(CSetupRun::kBackupFolder, file.c_str());
    return Report(context, L"",
                  {changes, whole ? (changes ? L"restored" : L"unchanged") : L"failed", L"", path},
                  whole ? Outcome::kSuccess : Outcome::kInstallFailed);
}
