#include <windows.h>

#include "platform/thread_id.h"

uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}
