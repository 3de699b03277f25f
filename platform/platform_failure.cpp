#include "platform/platform_failure.h"

#include <utility>

namespace {

thread_local std::optional<PlatformFailure> t_lastFailure;

}  // namespace

void RecordPlatformFailure(const wchar_t* call, uint32_t code, std::wstring text) {
    t_lastFailure = PlatformFailure{call != nullptr ? call : L"", code, std::move(text)};
}

std::optional<PlatformFailure> TakePlatformFailure() {
    return std::exchange(t_lastFailure, std::nullopt);
}
