#include <cwchar>

#include "install/spooler/installed_queues.h"
#include "platform/log_sink.h"
#include "platform/name_case.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

namespace {

// A queue belongs to a printer when it has the printer's name, or the name, a blank, "(" and at
// least one character more, as the spooler names the copies of a queue ("Name (Copy 1)"). The name
// part is compared as the spooler compares queue names, without regard to case: the spooler holds
// no "printer a" beside "Printer A", so an old queue in another case is this printer's and must
// go before the new one can be added. Any other character in place of the blank would take in
// another printer ("Name9(Office)"), and an empty name names no printer at all.
bool BelongsTo(const std::wstring& queue, const wchar_t* name) {
    const size_t length = std::wcslen(name);
    if (length == 0 || queue.size() < length ||
        !SameNameIgnoringCase(queue.substr(0, length), name))
        return false;
    return queue.size() == length ||
           (queue.size() > length + 2 && queue[length] == L' ' && queue[length + 1] == L'(');
}

}  // namespace

QueueLookup LookUpInstalledQueue(const wchar_t* name, QueueState& state) {
    ISpoolerService* spooler = Services().spooler;
    if (spooler == nullptr)
        return QueueLookup::kUnknown;
    if (name == nullptr || name[0] == L'\0')
        return QueueLookup::kAbsent;
    return spooler->LookUpQueue(name, state);
}

int32_t SetupContext::FindPrinter(const wchar_t* name, const wchar_t* port) const {
    ISpoolerService* spooler = Services().spooler;
    if (spooler == nullptr || name == nullptr || name[0] == L'\0')
        return 0;
    // The queue of that very name, as the spooler matches names: one whose name merely begins
    // with it is another printer. A queue marked for deletion goes as soon as its last handle
    // closes, so it is no queue to print to.
    QueueState state;
    switch (spooler->LookUpQueue(name, state)) {
        case QueueLookup::kAbsent:
            return 0;
        case QueueLookup::kUnknown:
            LogFailure(std::wstring(L"Could not look for the queue ") + name);
            return 0;
        case QueueLookup::kPresent:
            break;
    }
    if (state.pendingDeletion) {
        LogLine(LogLevel::kWarning,
                std::wstring(L"The queue ") + name + L" is there but marked for deletion.");
        return 0;
    }
    if (port != nullptr && !SameNameIgnoringCase(state.port, port)) {
        LogLine(LogLevel::kWarning, std::wstring(L"The queue ") + name + L" is on the port " +
                                        state.port + L", not on " + port + L".");
        return 0;
    }
    return 1;
}

int32_t SetupContext::ListPrinters(const wchar_t* name, StringList& list) const {
    ISpoolerService* spooler = Services().spooler;
    StringList queues;
    if (spooler == nullptr || name == nullptr || name[0] == L'\0')
        return -1;
    if (!spooler->ListLocalPrinters(queues)) {
        LogFailure(L"Could not list the print queues");
        return -1;
    }
    int32_t count = 0;
    for (const std::wstring& queue : queues) {
        if (!BelongsTo(queue, name))
            continue;
        list.push_back(queue);
        ++count;
    }
    return count;
}

int32_t SetupContext::ListPorts(StringList& list) const {
    ISpoolerService* spooler = Services().spooler;
    return spooler != nullptr && spooler->ListPorts(list) ? 1 : 0;
}

QueueLookup LookUpDefaultPrinter(const wchar_t* name) {
    ISpoolerService* spooler = Services().spooler;
    std::wstring current;
    if (spooler == nullptr || name == nullptr || !spooler->ReadDefaultPrinter(current)) {
        LogFailure(L"Could not ask for the default printer", LogLevel::kWarning);
        return QueueLookup::kUnknown;
    }
    return !current.empty() && SameNameIgnoringCase(current, name) ? QueueLookup::kPresent
                                                                   : QueueLookup::kAbsent;
}

QueueLookup LookUpQueuesOf(const wchar_t* printer) {
    ISpoolerService* spooler = Services().spooler;
    StringList queues;
    if (spooler == nullptr || printer == nullptr || !spooler->ListLocalPrinters(queues))
        return QueueLookup::kUnknown;
    for (const std::wstring& queue : queues) {
        if (BelongsTo(queue, printer))
            return QueueLookup::kPresent;
    }
    return QueueLookup::kAbsent;
}
