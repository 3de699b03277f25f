// The smallest printer interface DLL Wine's spooler accepts as a driver's configuration file.
// AddPrinterW loads it to ask for the queue's default DEVMODE and to announce the new queue, and
// the process crashes when one of these three exports is missing. It has no user interface and
// no capabilities; the tests only need queues to exist.
#include <windows.h>

#include <cwchar>

namespace {

// The header a printer interface DLL's DrvDocumentPropertySheets is handed when it is called
// without a property sheet (the layout the printer driver documentation gives).
struct DocumentPropertyHeader {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    PDEVMODEW pdmIn;
    PDEVMODEW pdmOut;
    DWORD cbOut;
    DWORD fMode;
};

}  // namespace

extern "C" {

// Without a property sheet, a call with no output mode asks for the DEVMODE size, and one with an
// output buffer for the default DEVMODE: a public part with nothing set but the device name.
__declspec(dllexport) LONG WINAPI
    DrvDocumentPropertySheets(void* propertySheetInfo, LPARAM lParam) {
    auto* header = reinterpret_cast<DocumentPropertyHeader*>(lParam);
    if (propertySheetInfo != nullptr || header == nullptr)
        return -1;
    if (header->fMode == 0 || header->pdmOut == nullptr) {
        header->cbOut = sizeof(DEVMODEW);
        return static_cast<LONG>(header->cbOut);
    }
    if (header->cbOut < sizeof(DEVMODEW))
        return -1;
    DEVMODEW* devmode = header->pdmOut;
    ZeroMemory(devmode, sizeof(*devmode));
    devmode->dmSpecVersion = DM_SPECVERSION;
    devmode->dmSize = sizeof(*devmode);
    if (header->pszPrinterName != nullptr)
        wcsncpy(devmode->dmDeviceName, header->pszPrinterName, CCHDEVICENAME - 1);
    return IDOK;
}

__declspec(dllexport) DWORD WINAPI DrvDeviceCapabilities(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW) {
    return 0;
}

__declspec(dllexport) BOOL WINAPI DrvPrinterEvent(PWSTR, INT, DWORD, LPARAM) {
    return TRUE;
}

}  // extern "C"
