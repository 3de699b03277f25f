#pragma once

#include <windows.h>

#include <memory>

// A kernel object handle (event, thread, process, file) closed with CloseHandle when it goes.
// Null means none; a function that reports failure with INVALID_HANDLE_VALUE is to be checked
// before its result is put in here.
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
