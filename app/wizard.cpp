#include "app/wizard.h"

BOOL CWizard::OnInitDialog() {
    const BOOL result = CPropertySheet::OnInitDialog();
    if (HWND help = ::GetDlgItem(GetSafeHwnd(), IDHELP))
        ::ShowWindow(help, SW_HIDE);
    return result;
}
