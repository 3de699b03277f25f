#include "framework/list_box.h"

#include <vector>

int CListBox::GetCount() const {
    return static_cast<int>(SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0));
}

int CListBox::AddString(const wchar_t* text) {
    return static_cast<int>(SendMessageW(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int CListBox::DeleteString(int index) {
    return static_cast<int>(SendMessageW(m_hWnd, LB_DELETESTRING, index, 0));
}

int CListBox::GetCurSel() const {
    return static_cast<int>(SendMessageW(m_hWnd, LB_GETCURSEL, 0, 0));
}

int CListBox::SetCurSel(int index) {
    return static_cast<int>(SendMessageW(m_hWnd, LB_SETCURSEL, index, 0));
}

void CListBox::GetText(int index, CString& text) const {
    text.clear();
    const LRESULT length = SendMessageW(m_hWnd, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR)
        return;
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const LRESULT copied =
        SendMessageW(m_hWnd, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    if (copied != LB_ERR)
        text.assign(buffer.data(), static_cast<size_t>(copied));
}

int CListBox::SelectString(int startAfter, const wchar_t* prefix) {
    return static_cast<int>(
        SendMessageW(m_hWnd, LB_SELECTSTRING, startAfter, reinterpret_cast<LPARAM>(prefix)));
}

void CListBox::ShowWindow(int show) {
    ::ShowWindow(m_hWnd, show);
}
