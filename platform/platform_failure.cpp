#include "platform/platform_failure.h"

#include <algorithm>
#include <cwchar>
#include <utility>

namespace {

// Plain data only: a thread_local with a destructor (such as a std::wstring) has to be destroyed
// when its thread ends, and MinGW's runtime does that badly for threads made with CreateThread
// (measured under Wine: the workers of the installation page hung on the heap lock afterwards).
// A name or text longer than its field is cut: it only serves the log.
struct LastFailure {
    bool recorded;
    bool refused;
    uint32_t code;
    wchar_t call[64];
    wchar_t text[512];
};

thread_local LastFailure t_lastFailure;

void CopyCut(wchar_t* field, size_t width, const wchar_t* text, size_t length) {
    const size_t kept = std::min(length, width - 1);
    std::wmemcpy(field, text, kept);
    field[kept] = L'\0';
}

}  // namespace

void RecordPlatformFailure(const wchar_t* call, uint32_t code, std::wstring text) {
    LastFailure& failure = t_lastFailure;
    failure.recorded = true;
    failure.refused = false;
    failure.code = code;
    const wchar_t* name = call != nullptr ? call : L"";
    CopyCut(failure.call, std::size(failure.call), name, std::wcslen(name));
    CopyCut(failure.text, std::size(failure.text), text.c_str(), text.size());
}

void RecordPlatformRefusal(const wchar_t* call, uint32_t code, std::wstring text) {
    RecordPlatformFailure(call, code, std::move(text));
    t_lastFailure.refused = true;
}

std::optional<PlatformFailure> TakePlatformFailure() {
    LastFailure& failure = t_lastFailure;
    if (!failure.recorded)
        return std::nullopt;
    failure.recorded = false;
    return PlatformFailure{failure.call, failure.code, failure.text, failure.refused};
}
