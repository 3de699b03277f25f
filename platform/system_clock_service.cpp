#include "platform/system_clock_service.h"

#include <chrono>
#include <thread>

void CSystemClockService::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
