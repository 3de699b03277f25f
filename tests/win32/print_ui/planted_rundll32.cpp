// Planted as rundll32.exe in the folders a bare program name is looked for in first. It must
// never run: if it does, it leaves the file that KORVEL_PLANTED_MARK names for the test to find.
#include <windows.h>

int main() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"KORVEL_PLANTED_MARK", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    HANDLE mark =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(mark);
    return 0;
}
