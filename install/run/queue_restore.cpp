#include "install/run/queue_restore.h"

#include <string>

#include "platform/log_sink.h"
#include "platform/name_case.h"
#include "platform/uri_passwords.h"
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
    return true;
}

bool DeleteQueue(const std::wstring& name) {
    ISpoolerService* spooler = Services().spooler;
    PrinterHandle queue = spooler != nullptr ? spooler->OpenPrinter(name.c_str()) : nullptr;
    if (queue == nullptr) {
        LogFailure(L"Could not open the queue " + name + L" to delete it");
        return false;
    }
    const bool deleted = spooler->DeletePrinter(queue);
    if (!deleted)
        LogFailure(L"Could not delete the queue " + name);
    if (!spooler->ClosePrinter(queue))
        LogFailure(L"Could not close the queue " + name, LogLevel::kWarning);
    return deleted;
}

bool MakeDefaultAgain(const std::wstring& name) {
    ISpoolerService* spooler = Services().spooler;
    if (spooler != nullptr && spooler->SetDefaultPrinter(name.c_str())) {
        Info(L"Made " + name + L" the default printer again.");
        return true;
    }
    LogFailure(L"Could not make " + name + L" the default printer again", LogLevel::kWarning);
    return false;
}

std::wstring DeviceOf(const QueueRecord& record) {
    const std::wstring* device = record.Setting(L"port");
    if (device == nullptr)
        device = record.Setting(L"device-uri");
    return device != nullptr ? *device : std::wstring();
}

MakingMark MarkOf(const QueueRecord& record) {
    return {false, record.name, DeviceOf(record), record.driver};
}

bool MatchesMark(const QueueRecord& installed, const MakingMark& mark) {
    // CUPS shows a device URI without its user info to all but root, so the device is compared
    // as the scheduler shows it.
    return SameNameIgnoringCase(installed.name, mark.name) &&
           UriWithoutUserInfo(DeviceOf(installed)) == UriWithoutUserInfo(mark.device) &&
           (mark.driver.empty() || SameNameIgnoringCase(installed.driver, mark.driver));
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
