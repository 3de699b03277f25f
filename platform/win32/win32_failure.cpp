#include "platform/win32/win32_failure.h"

#include <string>

#include "platform/platform_failure.h"
#include "platform/win32/unique_handle.h"

std::wstring SystemErrorText(DWORD code) {
    constexpr DWORD kFlags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(kFlags, nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const UniqueLocal<wchar_t> owned(buffer);
    // The system's texts end with a line break, which would split the log line. A code the
    // system has no text for leaves the text empty: the code still says what failed.
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

void RecordWin32Failure(const wchar_t* call, DWORD code) {
    RecordPlatformFailure(call, code, SystemErrorText(code));
    SetLastError(code);
}
