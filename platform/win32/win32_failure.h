#pragma once

#include <windows.h>

#include <string>

// Records a failed system call for the setup log (RecordPlatformFailure): its name, the error it
// gave and the system's own text for that error. The caller takes the code from GetLastError()
// right after the call, before anything else can change it, or from the call's result where the
// call returns its error. The thread's last error is left at `code`, so that a caller can still
// read it.
void RecordWin32Failure(const wchar_t* call, DWORD code);

// The system's own text for an error code (FormatMessageW), without its closing line break;
// empty when the system has none.
std::wstring SystemErrorText(DWORD code);
