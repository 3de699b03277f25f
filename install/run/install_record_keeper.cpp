#include "install/run/install_record_keeper.h"

#include "install/run/queue_backup.h"
#include "install/spooler/installed_queues.h"
#include "platform/install_record_service.h"
#include "platform/log_sink.h"
#include "platform/platform_failure.h"
#include "platform/services.h"

namespace {

void ForgetRecord(IInstallRecordService& records, const std::wstring& printer) {
    if (!records.Delete(printer))
        LogFailure(L"Could not delete the install record of " + printer, LogLevel::kWarning);
}

}  // namespace

void MatchInstallRecord(const std::wstring& printer, const CQueueBackup* madeAgainFrom) {
    IInstallRecordService* records = Services().installRecords;
    if (records == nullptr || printer.empty())
        return;
    QueueState state;
    switch (LookUpInstalledQueue(printer.c_str(), state)) {
        case QueueLookup::kUnknown:
            LogFailure(L"Could not look at the queue " + printer +
                           L"; its install record is left "
                           L"as it is",
                       LogLevel::kWarning);
            return;
        case QueueLookup::kAbsent:
            ForgetRecord(*records, printer);
            return;
        case QueueLookup::kPresent:
            break;
    }
    const bool known = madeAgainFrom != nullptr && madeAgainFrom->recordKnown;
    if (known && !madeAgainFrom->recordAtStart) {
        // The queue made again was nobody's install: a record written since describes another.
        ForgetRecord(*records, printer);
        return;
    }
    InstallRecord now;
    const bool recorded = records->Read(printer, now);
    if (!recorded)
        TakePlatformFailure();  // most often there is none
    InstallRecord wanted = known ? *madeAgainFrom->recordAtStart : now;
    if (!known && !recorded)
        return;
    wanted.printerName = printer;
    wanted.port = state.port;
    if (recorded && wanted == now)
        return;
    if (records->Write(wanted))
        LogLine(LogLevel::kInformation, L"The install record of " + printer + L" names the port " +
                                            state.port + L", as the queue does.");
    else
        LogFailure(L"Could not write the install record of " + printer, LogLevel::kWarning);
}
