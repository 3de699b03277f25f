#pragma once

#include <windows.h>
#include <prsht.h>

#include <vector>

#include "platform/text_types.h"

class CPropertyPage;

// A modal property sheet over PropertySheetW, here always used as a wizard.
class CPropertySheet {
  public:
    CPropertySheet(const wchar_t* caption, HWND parent, UINT selectPage);
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    void AddPage(CPropertyPage* page);
    void SetWizardMode();
    void SetActivePage(CPropertyPage* page);
    // Shows the sheet and returns when it has closed: the result given to EndDialog, or the
    // sheet's own (IDCANCEL when the user cancelled, -1 when it could not be shown).
    INT_PTR DoModal();

    // Called once the sheet's window exists.
    virtual BOOL OnInitDialog();

    HWND GetSafeHwnd() const { return m_hWnd; }
    int GetPageIndex(const CPropertyPage* page) const;
    // Posted, not sent, so that a page may call it while the sheet is busy with the page.
    void SetWizardButtons(DWORD flags);
    void EndDialog(int result);

    // While blocked, nothing closes the sheet or moves it to another page: not its Cancel button,
    // Esc, Alt+F4, the system menu or WM_CLOSE, nor a press of Back, Next or Finish, whether
    // clicked or sent as PSM_PRESSBUTTON, nor a page change asked for by message. EndDialog
    // still closes it.
    void BlockNavigation(bool blocked) { m_navigationBlocked = blocked; }

  private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    static bool IsNavigationRequest(UINT message, WPARAM wParam);

    CString m_caption;
    HWND m_parent;
    UINT m_startPage;
    bool m_wizard = false;
    std::vector<CPropertyPage*> m_pages;
    HWND m_hWnd = nullptr;
    bool m_navigationBlocked = false;
    bool m_ending = false;
    INT_PTR m_endResult = 0;
};
