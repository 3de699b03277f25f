#include <algorithm>
#include <string>

#include "install/windows/print_ui_commands.h"
#include "platform/clock_service.h"
#include "platform/log_sink.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

namespace {

// The wizard's pause between the end of the install command and its one look for the queue.
constexpr uint32_t kSettleMs = 500;
// The console looks at once and then after waits that double from the first, for no longer than
// the limit in all: long enough for a spooler that shows a new queue a moment after the printer
// UI ends, short enough that a failed install is reported promptly.
constexpr uint32_t kFirstPollMs = 50;
constexpr uint32_t kPollLimitMs = 2000;

void Wait(uint32_t milliseconds) {
    if (IClockService* clock = Services().clock)
        clock->Sleep(milliseconds);
}

// Whether the spooler says plainly that no queue of this name is there yet. Only then is another
// look worth waiting for, and it is asked without a word in the log. A queue that is there,
// whatever its port or state, and a spooler that does not answer are for FindPrinter to judge.
bool NotThereYet(const wchar_t* name) {
    ISpoolerService* spooler = Services().spooler;
    QueueState state;
    return spooler != nullptr && spooler->LookUpQueue(name, state) == QueueLookup::kAbsent;
}

// Waits until a queue of this name is there or the time is up.
void AwaitQueue(const wchar_t* name) {
    uint32_t waited = 0;
    for (uint32_t next = kFirstPollMs; waited < kPollLimitMs && NotThereYet(name); next *= 2) {
        const uint32_t wait = std::min(next, kPollLimitMs - waited);
        Wait(wait);
        waited += wait;
    }
}

// Whether the spooler has certainly no queue of this name now. A queue that is there already
// would be taken for the new one, so the install could not be confirmed.
bool QueueAbsent(const wchar_t* name) {
    ISpoolerService* spooler = Services().spooler;
    QueueState state;
    switch (spooler != nullptr ? spooler->LookUpQueue(name, state) : QueueLookup::kUnknown) {
        case QueueLookup::kAbsent:
            return true;
        case QueueLookup::kPresent:
            LogLine(LogLevel::kError, std::wstring(L"A queue named ") + name +
                                          L" is still installed, so a new one could not be "
                                          L"told from it; nothing was installed.");
            return false;
        case QueueLookup::kUnknown:
            break;
    }
    LogFailure(std::wstring(L"Could not look for the queue ") + name);
    return false;
}

}  // namespace

int32_t SetupContext::InstallByPrintUi(const wchar_t* printerNameOverride,
                                       const wchar_t* portNameOverride) {
    if (printerNameOverride != nullptr)
        SetPrinterName(printerNameOverride);
    if (portNameOverride != nullptr)
        SetPortName(portNameOverride);
    ResolveDriverInfPath();
    // Without a family there is no driver INF, only the driver folder, whose closing backslash
    // would escape the quote after it on the command line.
    if (GetPrinterType(printerName) < 0) {
        LogLine(LogLevel::kError, std::wstring(L"The setup data gives no driver family for ") +
                                      printerName + L"; nothing was installed.");
        return 0;
    }
    if (!PrintUiCommands::IsQuotable(printerName) || !PrintUiCommands::IsQuotable(portName) ||
        !PrintUiCommands::IsQuotable(driverInfPath)) {
        LogLine(LogLevel::kError,
                L"The printer name, port or driver path cannot be put into a "
                L"command; nothing was installed.");
        return 0;
    }
    const std::wstring command = PrintUiCommands::Install(printerName, driverInfPath, portName);
    if (command.size() >= PrintUiCommands::kCommandWidth || !QueueAbsent(printerName))
        return 0;
    if (RunPrintUi(command.c_str()) == 0)
        return 0;

    // The runner has already waited for the printer UI to end; what remains is the spooler's
    // own delay in showing the queue. Only the queue of this very name, absent before the command
    // and now on the chosen port, shows that the printer UI installed it, and only this last look
    // reports a failure.
    if (queueCheck == QueueCheck::kPoll)
        AwaitQueue(printerName);
    else
        Wait(kSettleMs);
    const int32_t found = FindPrinter(printerName, portName);
    LogLine(found != 0 ? LogLevel::kInformation : LogLevel::kError,
            std::wstring(L"Queue check after the command: ") + printerName +
                (found != 0 ? L" is installed on " + std::wstring(portName) + L"."
                            : L" was not installed on " + std::wstring(portName) + L"."));
    return found;
}
