#pragma once

#include <string>

// What a console program of ours needs of the Win32 console, for its composition root.

// DLLs are looked for in the system folder only from now on. Called first of all: deployment
// engines run the program as SYSTEM from a folder they unpacked, where a planted DLL would
// otherwise be loaded.
void RestrictDllSearchToSystemFolder();

// Writes one line to standard output or standard error: as text to a console, and as UTF-8
// bytes when the stream is redirected to a file or a pipe, as deployment engines capture it.
void WriteConsoleLine(bool toStandardError, const std::wstring& line);

// From now on Ctrl+C, Ctrl+Break and the closing of the console only ask the run to stop (the
// answer of StopRequested) instead of ending the process: the run puts back what it removed
// rather than dying between a deletion and its restore.
void CatchConsoleStop();
bool StopRequested();
