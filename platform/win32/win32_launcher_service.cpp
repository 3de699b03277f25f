#include "platform/win32/win32_launcher_service.h"

#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

namespace {

// How long a program that was ended is given to be gone.
constexpr DWORD kEndWaitMs = 5000;

// The system directory, or empty with the error in `error`.
std::wstring SystemDirectory(uint32_t& error) {
    std::wstring path(MAX_PATH, L'\0');
    UINT length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    if (length >= path.size()) {
        // Too small: `length` is the size needed, terminator included.
        path.resize(length);
        length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    }
    if (length == 0 || length >= path.size()) {
        error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        RecordWin32Failure(L"GetSystemDirectoryW", error);
        return std::wstring();
    }
    path.resize(length);
    return path;
}

// Starts the program at `path` in a new job and waits for it; ends the job's processes when the
// wait ends first. kNotStarted comes with the failing call's error in `error`.
LaunchResult RunInJob(const std::wstring& path, const wchar_t* parameters, uint32_t waitMs,
                      uint32_t& error) {
    // Every process the program starts is in the job too, so that ending the job ends them all.
    // When the job's last handle closes, here or because this process died, whatever still runs
    // in it is ended as well: nothing of a command goes on working behind the console program.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        error = GetLastError();
        RecordWin32Failure(L"CreateJobObjectW", error);
        return LaunchResult::kNotStarted;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits))) {
        error = GetLastError();
        RecordWin32Failure(L"SetInformationJobObject", error);
        return LaunchResult::kNotStarted;
    }

    // The program's own path comes first on its command line, quoted as the C runtime reads it.
    std::wstring commandLine = L'"' + path + L"\" " + (parameters != nullptr ? parameters : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job, so that no process it starts can escape the job. In a
    // process group of its own, so that a Ctrl+C meant for the console program does not end it
    // halfway through its work: the console program decides what a stop means, as it does for
    // its own steps.
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &started)) {
        error = GetLastError();
        RecordWin32Failure(L"CreateProcessW", error);
        return LaunchResult::kNotStarted;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    // Before Windows 8 a process that is in a job already (started by a deployment agent that
    // puts its commands in one) cannot be put in a second one. The program has not run yet.
    if (!AssignProcessToJobObject(job.get(), process.get())) {
        error = GetLastError();
        RecordWin32Failure(L"AssignProcessToJobObject", error);
        TerminateProcess(process.get(), error);
        return LaunchResult::kNotStarted;
    }
    if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        error = GetLastError();
        RecordWin32Failure(L"ResumeThread", error);
        TerminateJobObject(job.get(), error);
        return LaunchResult::kNotStarted;
    }
    // A wait that failed tells no more than one that ran out: the command is ended either way.
    if (WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0)
        return LaunchResult::kFinished;
    if (!TerminateJobObject(job.get(), ERROR_TIMEOUT)) {
        RecordWin32Failure(L"TerminateJobObject", GetLastError());
        return LaunchResult::kTimedOut;
    }
    // The ending runs on after the call returns; the program is gone once its handle is
    // signalled. Wine 8 ends the program and the processes it started (measured).
    if (WaitForSingleObject(process.get(), kEndWaitMs) != WAIT_OBJECT_0)
        return LaunchResult::kTimedOut;
    return LaunchResult::kEnded;
}

// Writes a line to standard error, if the process has one. Nothing is recorded when that
// fails: there is nowhere left to tell it.
void WriteStandardError(const std::wstring& line) {
    const HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode)) {
        // A console shows wide text as it is, whatever its code page.
        for (size_t done = 0; done < line.size();) {
            DWORD written = 0;
            if (!WriteConsoleW(output, line.data() + done, static_cast<DWORD>(line.size() - done),
                               &written, nullptr) ||
                written == 0)
                return;
            done += written;
        }
        return;
    }
    // Redirected to a file or a pipe, as deployment agents keep a command's output: UTF-8,
    // which keeps every character of a Chinese printer name.
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(output, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

}  // namespace

CWin32LauncherService::CWin32LauncherService(LauncherMode mode) : m_mode(mode) {}

LaunchResult CWin32LauncherService::RunSystemProgram(const wchar_t* program,
                                                     const wchar_t* parameters, uint32_t waitMs,
                                                     uint32_t& error) {
    // A bare name may be looked for in the program's folder and the current folder before the
    // system directory. A setup folder is often a download folder, and a program of the same name
    // lying there would be started with the wizard's administrator rights.
    std::wstring path = SystemDirectory(error);
    if (path.empty())
        return LaunchResult::kNotStarted;
    path += L'\\';
    path += program;
    return RunInJob(path, parameters, waitMs, error);
}

void CWin32LauncherService::ShowError(const wchar_t* text, const wchar_t* caption) {
    if (m_mode == LauncherMode::kConsole) {
        WriteStandardError(std::wstring(caption) + L": " + text + L"\r\n");
        return;
    }
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR);
}
