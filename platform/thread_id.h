#pragma once

#include <cstdint>

// The system's number of the calling thread, as its own tools show it.
uint32_t CurrentThreadId();
