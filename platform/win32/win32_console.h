#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What a console program of ours needs of the Win32 console, for its composition root.

// DLLs are looked for in the system folder only from now on. Called first of all: deployment
// engines run the program as SYSTEM from a folder they unpacked, where a planted DLL would
// otherwise be loaded.
void RestrictDllSearchToSystemFolder();

// Writes one line to standard output or standard error: as text to a console, and as UTF-8
// bytes when the stream is redirected to a file or a pipe, as deployment engines capture it.
void WriteConsoleLine(bool toStandardError, const std::wstring& line);

// Reads one line of standard input as UTF-8, for IConsoleHost::ReadInputLine: from a console as
// text, otherwise (a pipe, a file, as deployment engines and Ansible give it) as bytes, one at a
// time so that nothing after the line is taken. False with the failure recorded.
bool ReadStandardInputLine(std::string& line, size_t mostBytes);

// From now on Ctrl+C, Ctrl+Break, the closing of the console and the system's shutdown only ask
// the run to stop (the answer of StopRequested) instead of ending the process: the run puts back
// what it removed rather than dying between a deletion and its restore. The system ends the
// process anyway once the handler of a close or a shutdown returns, so that handler waits up to
// four seconds for MarkRunSettled first. A user logging off is left to the system: it does not say
// which user, and a run started by a service as SYSTEM is not one to stop for it.
// `cancelledExitCode` is the process's exit code when a stop ends it at once.
void CatchConsoleStop(uint32_t cancelledExitCode);
bool StopRequested();

// Whether a stop may end the process at once, with the cancelled exit code: while the program
// changes nothing. Allowing it after a stop arrived ends the process here.
void AllowImmediateStop(bool allowed);

// The run has ended, or has put back what it removed: a close or shutdown that waits for it ends
// the process now.
void MarkRunSettled();
