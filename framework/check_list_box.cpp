#include "framework/check_list_box.h"

#include <commctrl.h>

#include "framework/list_box.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;

}  // namespace

CCheckListBox::~CCheckListBox() {
    if (m_hWnd != nullptr)
        RemoveWindowSubclass(m_hWnd, &SubclassProc, kSubclassId);
}

void CCheckListBox::AttachCheckList(HWND control) {
    Attach(control);
    if (control != nullptr) {
        SetWindowSubclass(control, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
}

int CCheckListBox::GetCheck(int index) const {
    const LRESULT data = SendMessageW(m_hWnd, LB_GETITEMDATA, index, 0);
    return data == LB_ERR ? 0 : (data != 0 ? 1 : 0);
}

void CCheckListBox::SetCheck(int index, int check) {
    SendMessageW(m_hWnd, LB_SETITEMDATA, index, check != 0 ? 1 : 0);
    RECT rect;
    if (SendMessageW(m_hWnd, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
        InvalidateRect(m_hWnd, &rect, FALSE);
    }
}

void CCheckListBox::Toggle(int index) {
    SetCheck(index, GetCheck(index) == 0 ? 1 : 0);
}

int CCheckListBox::CheckBoxWidth() const {
    return GetSystemMetrics(SM_CXMENUCHECK) + 4;
}

void CCheckListBox::DrawItem(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1))
        return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

    RECT box = item.rcItem;
    box.left += 2;
    box.right = box.left + CheckBoxWidth() - 4;
    const UINT state =
        DFCS_BUTTONCHECK | (GetCheck(static_cast<int>(item.itemID)) ? DFCS_CHECKED : 0);
    DrawFrameControl(item.hDC, &box, DFC_BUTTON, state);

    CString text;
    GetText(static_cast<int>(item.itemID), text);
    RECT textRect = item.rcItem;
    textRect.left += CheckBoxWidth();
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(item.hDC, &item.rcItem);
}

LRESULT CALLBACK CCheckListBox::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CCheckListBox*>(data);
    if (message == WM_LBUTTONDOWN) {
        const LRESULT hit = SendMessageW(window, LB_ITEMFROMPOINT, 0, lParam);
        const int index = LOWORD(hit);
        if (HIWORD(hit) == 0 && static_cast<short>(LOWORD(lParam)) < self->CheckBoxWidth()) {
            self->Toggle(index);
        }
    } else if (message == WM_KEYDOWN && wParam == VK_SPACE) {
        const int index = self->GetCurSel();
        if (index != LB_ERR)
            self->Toggle(index);
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
