#pragma once

#include <windows.h>

#include "platform/text_types.h"

// A list box control of a page, attached when the page's window is made.
class CListBox {
  public:
    virtual ~CListBox() = default;

    void Attach(HWND control) { m_hWnd = control; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    int GetCount() const;
    int AddString(const wchar_t* text);
    int DeleteString(int index);
    int GetCurSel() const;
    int SetCurSel(int index);
    // The item's text, or the empty text when there is no such item.
    void GetText(int index, CString& text) const;
    // Selects the first item from `startAfter` + 1 on whose text begins with `prefix`, compared
    // without regard to case. Returns its index or LB_ERR.
    int SelectString(int startAfter, const wchar_t* prefix);
    void ShowWindow(int show);

  protected:
    HWND m_hWnd = nullptr;
};
