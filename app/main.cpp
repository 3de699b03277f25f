#include <windows.h>

#include "app/pavonis_app.h"
#include "app/process_objects.h"
#include "platform/services.h"
#include "platform/win32/win32_services.h"

// The process-wide objects, in the order they must be made: everything in this file is made
// from top to bottom before wWinMain runs.
namespace {

// First of all, DLLs are looked for in the system folder only: the program runs with
// administrator rights from a setup folder that is often a download folder, where a planted DLL
// would otherwise be loaded.
struct CDllSearchHardening {
    CDllSearchHardening() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }
} g_dllSearchHardening;

CWin32Services g_services;
CScopedServices g_installedServices(g_services.Set());

}  // namespace

SetupContext theSetup;
StringList checkedPrinters;
CPavonisApp theApp;

// The wizard takes no command line. A deployment engine that starts it with /quiet as SYSTEM would
// wait for ever on a window nobody sees, so any argument ends it at once, before any window or
// log, with msiexec's code for a bad command line: the engine sees a failure rather than a hang.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    if (arguments != nullptr && arguments[wcsspn(arguments, L" \t")] != L'\0')
        return ERROR_INVALID_COMMAND_LINE;
    return RunApplication();
}
