#include <windows.h>

#include <msi.h>

#include "msi_action/win32/msi_action_host.h"
#include "msi_action/printer_action.h"

// The entry points the package's CustomAction table names (DllEntry). msiexec calls them on a
// thread of its custom-action server; an exception must not cross into it.

extern "C" __declspec(dllexport) UINT __stdcall InstallPrinter(MSIHANDLE install) {
    try {
        CMsiActionHost host(install);
        return CPrinterAction(host).Install();
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}

extern "C" __declspec(dllexport) UINT __stdcall RemovePrinter(MSIHANDLE install) {
    try {
        CMsiActionHost host(install);
        return CPrinterAction(host).Remove();
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}
