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

// As RecordPlatformFailure, for a call that the system refused because the caller lacks the
// rights for it (a scheduler's "not authorized" or "forbidden"). Besides the failure, it is
// counted for the whole process, so that a front end can tell a refusal from other failures
// after the engine has logged and taken them.
void RecordPlatformRefusal(const wchar_t* call, uint32_t code, std::wstring text = {});

// How many refusals were recorded in this process so far, on any thread.
uint32_t PlatformRefusalCount();

// The failure recorded last on this thread, which is then forgotten; nothing when none was.
std::optional<PlatformFailure> TakePlatformFailure();
