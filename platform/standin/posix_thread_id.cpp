#include <unistd.h>

#include "platform/thread_id.h"

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(gettid());
}
