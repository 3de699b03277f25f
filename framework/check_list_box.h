#pragma once

#include <windows.h>

#include "framework/list_box.h"

// An owner-drawn list box with a check box in front of each item. The check state of an item is
// kept in its item data; a click on the box or the space bar toggles it.
class CCheckListBox : public CListBox {
  public:
    ~CCheckListBox() override;

    // Attaches to an owner-drawn, fixed-height list box with strings.
    void AttachCheckList(HWND control);

    int GetCheck(int index) const;  // 1 checked, 0 unchecked
    void SetCheck(int index, int check);

    // Draws one item; the page hands its WM_DRAWITEM for this control here.
    void DrawItem(const DRAWITEMSTRUCT& item) const;

  private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void Toggle(int index);
    int CheckBoxWidth() const;
};
