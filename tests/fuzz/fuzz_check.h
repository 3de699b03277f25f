#pragma once

#include <cstdio>
#include <cstdlib>

// A check of a fuzz target: a failure is reported and ends the run, so that libFuzzer keeps the
// input that caused it. Unlike assert it stays on in optimized builds.
#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}
