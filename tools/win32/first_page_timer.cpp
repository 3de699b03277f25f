// Starts a wizard program and prints how long it took until its first page showed, in
// milliseconds; then closes it. Run under Wine with the program's path (and folder) as arguments.
//
//   first_page_timer.exe PROGRAM [FOLDER]

#include <windows.h>
#include <prsht.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD processId;
    HWND sheet;
};

BOOL CALLBACK FindSheet(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    if (SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0) == 0)
        return TRUE;
    search->sheet = window;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_page_timer PROGRAM [FOLDER]\n");
        return 2;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        argc > 2 ? argv[2] : nullptr, &startup, &process)) {
        std::fprintf(stderr, "cannot start: error %lu\n", GetLastError());
        return 1;
    }
    Search search{process.dwProcessId, nullptr};
    for (int tries = 0; tries < 20000 && search.sheet == nullptr; ++tries) {
        EnumWindows(&FindSheet, reinterpret_cast<LPARAM>(&search));
        if (search.sheet == nullptr)
            Sleep(1);
    }
    LARGE_INTEGER shown;
    QueryPerformanceCounter(&shown);
    const double ms = 1000.0 * static_cast<double>(shown.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    if (search.sheet != nullptr)
        PostMessageW(search.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (search.sheet == nullptr) {
        std::fprintf(stderr, "no first page within 20 s\n");
        return 1;
    }
    std::printf("%.1f\n", ms);
    return 0;
}
