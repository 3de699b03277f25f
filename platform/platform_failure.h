#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A platform call that failed: its name, the system's error code and the system's own text for
// that code. A support engineer reading the setup log needs all three.
struct PlatformFailure {
    std::wstring call;
    uint32_t code = 0;
    std::wstring text;
};

// The backends record each failing call right after it failed, as the system keeps its last
// error: per thread, so that a worker's failure never turns up in another thread's log lines. A
// later failure on the same thread replaces an earlier one that nobody took.
void RecordPlatformFailure(const wchar_t* call, uint32_t code, std::wstring text = {});

// The failure recorded last on this thread, which is then forgotten; nothing when none was.
std::optional<PlatformFailure> TakePlatformFailure();
