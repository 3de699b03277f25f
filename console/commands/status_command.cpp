#include "console/commands/status_command.h"

#include <vector>

#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/json_text.h"
#include "install/run/unfinished_runs.h"
#include "install/spooler/installed_queues.h"
#include "platform/install_record_service.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "platform/uri_passwords.h"

namespace {

// Says on standard error that a run was stopped dead and waits for its repair, and which saved
// queues a repair left to be restored by hand.
void MentionUnfinishedRuns(CConsoleContext& context) {
    std::vector<Journal> journals;
    ReadJournals(journals, JournalDetail::kQueueNames);
    for (const std::wstring& line : SupersededRecords(journals))
        context.Host().Err(line);
    for (const Journal& run : journals) {
        if (run.tooLarge)
            context.Host().Err(TooLargeNotice(run.path));
        if (run.backup.run != RunState::kBegun || run.tooLarge)
            continue;
        context.Host().Err(L"An earlier setup run was stopped before it ended (" + run.path +
                           L"); the next install, remove or restore repairs it.");
    }
}

// The install record deployment engines read, beside the queue, so that a person can see both
// agree: an object, or null when there is none. Absent where this system keeps no records.
void AddInstallRecord(JsonText& json, const std::wstring& printer) {
    IInstallRecordService* records = Services().installRecords;
    if (records == nullptr)
        return;
    InstallRecord record;
    if (!records->Read(printer, record)) {
        TakePlatformFailure();
        json.AddNull(L"record");
        return;
    }
    json.Add(L"record", JsonText()
                            .Add(L"model", record.model)
                            .Add(L"port", record.port)
                            .Add(L"driverVersion", record.driverVersion)
                            .Add(L"installedAt", record.installedAt)
                            .Add(L"version", record.version)
                            .Add(L"setupVersion", record.setupVersion));
}

// The line and JSON of an installed printer, which on CUPS name its queue too.
void PrintInstalled(CConsoleContext& context, const QueueState& state) {
    const SetupContext& setup = context.Setup();
    const bool cups = context.Cups();
    const std::wstring port = UriWithoutPassword(state.port);
    JsonText json = cups ? JsonText()
                               .Add(L"installed", true)
                               .Add(L"printer", context.PrinterName())
                               .Add(L"queue", setup.printerName)
                               .Add(L"port", port)
                         : JsonText()
                               .Add(L"installed", true)
                               .Add(L"printer", setup.printerName)
                               .Add(L"port", port);
    AddInstallRecord(json, setup.printerName);
    context.Print(context.PrinterName() + L" is installed on " + port +
                      (cups ? std::wstring(L" as the queue ") + setup.printerName : L"") + L".",
                  json);
}

}  // namespace

Outcome RunStatusCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit) || !ChooseModel(context, exit))
        return exit;
    // Detection scripts read "installed" from a line on standard output and "not installed"
    // from none, both with exit code 0; any other code means the look itself failed.
    // Backups are only readable with the rights that wrote them: without, nothing is said.
    MentionUnfinishedRuns(context);
    QueueState state;
    switch (LookUpInstalledQueue(context.Setup().printerName, state)) {
        case QueueLookup::kPresent:
            PrintInstalled(context, state);
            return Outcome::kSuccess;
        case QueueLookup::kAbsent:
            if (context.Call().json) {
                JsonText json;
                json.Add(L"installed", false);
                AddInstallRecord(json, context.Setup().printerName);
                context.Host().Out(json.Text());
            }
            return Outcome::kSuccess;
        case QueueLookup::kUnknown:
            break;
    }
    context.SayUnreachable(TakePlatformFailure());
    return Outcome::kFailed;
}
