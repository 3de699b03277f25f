#include "install/run/queue_restore.h"

#include <string>

#include "platform/log_sink.h"
#include "platform/services.h"

namespace {

void Info(const std::wstring& message) {
    LogLine(LogLevel::kInformation, message);
}

}  // namespace

bool MakeQueueAgain(const QueueRecord& record) {
    ISpoolerService* spooler = Services().spooler;
    if (spooler == nullptr)
        return false;
    if (!spooler->IsDriverInstalled(record.driver.c_str())) {
        if (!spooler->InstallDriverFromPackage(record)) {
            LogFailure(L"Could not put the driver " + record.driver + L" back from " +
                       (record.driverPackage.empty() ? L"the driver store" : record.driverPackage));
            return false;
        }
        Info(L"Put the driver " + record.driver + L" back from " + record.driverPackage + L".");
    }
    if (!spooler->AddQueue(record)) {
        LogFailure(L"Could not make the queue " + record.name + L" again");
        return false;
    }
    Info(L"Made the queue " + record.name + L" again.");
    if (record.isDefault && !spooler->SetDefaultPrinter(record.name.c_str()))
        LogFailure(L"Could not make " + record.name + L" the default printer again",
                   LogLevel::kWarning);
    return true;
}

SavedQueueMatch MatchSavedQueue(const QueueRecord& saved, QueueRecord& installed) {
    ISpoolerService* spooler = Services().spooler;
    QueueState state;
    switch (spooler != nullptr ? spooler->LookUpQueue(saved.name.c_str(), state)
                               : QueueLookup::kUnknown) {
        case QueueLookup::kAbsent:
            return SavedQueueMatch::kGone;
        case QueueLookup::kUnknown:
            LogFailure(L"Could not look for the queue " + saved.name);
            return SavedQueueMatch::kUnknown;
        case QueueLookup::kPresent:
            break;
    }
    if (!spooler->ReadQueue(saved.name.c_str(), installed)) {
        LogFailure(L"Could not read the queue " + saved.name);
        return SavedQueueMatch::kUnknown;
    }
    QueueRecord compared = installed;
    compared.isDefault = saved.isDefault;
    return compared == saved ? SavedQueueMatch::kAsSaved : SavedQueueMatch::kDiffers;
}
