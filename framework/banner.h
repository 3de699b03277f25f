#pragma once

#include <windows.h>

// The picture of a dialog page (its static control with SS_BITMAP) made to fill the box the
// template gives it, at the page's DPI. Without this the static control shows its bitmap at the
// bitmap's own pixel size whatever the DPI, and even shrinks itself to it: at 150 % a 96-DPI
// banner sits in the corner of its box with an empty band below and beside it.
//
// The picture comes from two bitmaps of one drawing: the one at 96 DPI and one at twice its size.
// The smaller of them that is at least as large as the box is scaled down to it (or, when the box
// is its size, shown as it is); above 200 % the larger one is scaled up.
class CBanner {
  public:
    // `areaDlu`: the control's size in the template, in dialog units.
    CBanner(UINT bitmapId, UINT doubleId, SIZE areaDlu)
        : m_bitmapIds{bitmapId, doubleId}, m_areaDlu(areaDlu) {}
    ~CBanner();
    CBanner(const CBanner&) = delete;
    CBanner& operator=(const CBanner&) = delete;

    // Called when the page's window has been made: finds the picture control and fits it.
    void Attach(HWND page);
    // Fits the picture to its box at the page's DPI now; again after a move to a screen of
    // another DPI.
    void Fit();
    // When the page's window goes.
    void Detach();

    // The DPI of a window: the one of its screen for a program aware of each screen's DPI, else
    // the system's.
    static UINT WindowDpi(HWND window);

  private:
    void Show(SIZE size);

    UINT m_bitmapIds[2];
    SIZE m_areaDlu;
    HWND m_page = nullptr;
    HWND m_control = nullptr;
    // The box in pixels when the page was made, and the DPI then.
    SIZE m_baseBox{};
    UINT m_baseDpi = 96;
    HBITMAP m_shown = nullptr;
};
