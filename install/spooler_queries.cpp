#include <cwchar>

#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix, size_t length) {
    return text.size() >= length && text.compare(0, length, prefix, length) == 0;
}

// A queue belongs to a printer when it has the printer's name, or the name, one character, "("
// and at least one character more, as the spooler names the copies of a queue ("Name (Copy 1)").
bool BelongsTo(const std::wstring& queue, const wchar_t* name) {
    const size_t length = std::wcslen(name);
    if (queue == name)
        return true;
    return queue.size() > length + 2 && StartsWith(queue, name, length) &&
           queue[length + 1] == L'(';
}

}  // namespace

int32_t SetupContext::FindPrinter(const wchar_t* name) const {
    ISpoolerService* spooler = Services().spooler;
    StringList queues;
    if (spooler == nullptr || name == nullptr || !spooler->ListLocalPrinters(queues))
        return 0;
    // The name is compared as a prefix: a queue whose name goes on after it counts too.
    const size_t length = std::wcslen(name);
    for (const std::wstring& queue : queues) {
        if (StartsWith(queue, name, length))
            return 1;
    }
    return 0;
}

int32_t SetupContext::ListPrinters(const wchar_t* name, StringList& list) const {
    ISpoolerService* spooler = Services().spooler;
    StringList queues;
    if (spooler == nullptr || name == nullptr || !spooler->ListLocalPrinters(queues))
        return -1;
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
