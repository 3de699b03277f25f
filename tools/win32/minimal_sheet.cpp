// The smallest wizard the toolchain can make: one property page in a modal property sheet. The
// startup benchmark holds PavonisSetup.exe against it.

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace {

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEW(100);
    page.pfnDlgProc = &PageProc;
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD;
    header.hInstance = instance;
    header.pszCaption = L"Minimal";
    header.nPages = 1;
    header.ppsp = &page;
    PropertySheetW(&header);
    return 0;
}
