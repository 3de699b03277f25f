// Started by the launcher tests. "tree <file>" starts a copy of itself that sleeps, writes its own
// command line and the process IDs of both to <file> (UTF-16 lines) and sleeps; "sleep" sleeps;
// anything else ends at once.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]) == L"sleep")
        Sleep(60000);
    if (argc < 3 || std::wstring(argv[1]) != L"tree")
        return 0;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" sleep";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    FILE* report = _wfopen(argv[2], L"wb");
    if (report == nullptr || !CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0,
                                             nullptr, nullptr, &startup, &child))
        return 1;
    const std::wstring text = std::wstring(GetCommandLineW()) + L"\n" +
                              std::to_wstring(GetCurrentProcessId()) + L"\n" +
                              std::to_wstring(child.dwProcessId) + L"\n";
    fwrite(text.data(), sizeof(wchar_t), text.size(), report);
    fclose(report);
    Sleep(60000);
    return 0;
}
