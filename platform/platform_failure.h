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
    // Refused because the caller lacks the rights for it (RecordPlatformRefusal).
    bool refused = false;
};

// The backends record each failing call right after it failed, as the system keeps its last
// error: per thread, so that a worker's failure never turns up in another thread's log lines. A
// later failure on the same thread replaces an earlier one that nobody took.
void RecordPlatformFailure(const wchar_t* call, uint32_t code, std::wstring text = {});

// As RecordPlatformFailure, for a call that the system refused because the caller lacks the
// rights for it (a scheduler's "not authorized" or "forbidden"), so that a step that fails on it
// can say so (PlatformFailure::refused).
void RecordPlatformRefusal(const wchar_t* call, uint32_t code, std::wstring text = {});

// The failure recorded last on this thread, which is then forgotten; nothing when none was.
std::optional<PlatformFailure> TakePlatformFailure();
