#pragma once

#include <windows.h>

// The picture of a dialog page (its static control with SS_BITMAP) made to fill the area the
// template gives it, at the page's DPI. The bitmap resource is a master drawn at twice the
// 96-DPI size; each page shows a copy scaled down (or, at 192 DPI, copied) to its area, and makes a
// new one when the window moves to a screen of another DPI. Without this the static control shows
// the resource at its own pixel size whatever the DPI: a banner that covers the texts at 96 DPI
// and leaves a gap above 192.
class CBanner {
  public:
    // `areaDlu`: the control's size in the template, in dialog units.
    CBanner(UINT bitmapId, SIZE areaDlu) : m_bitmapId(bitmapId), m_areaDlu(areaDlu) {}
    ~CBanner();
    CBanner(const CBanner&) = delete;
    CBanner& operator=(const CBanner&) = delete;

    // Called when the page's window has been made: finds the picture control and fits it.
    void Attach(HWND page);
    // Fits the picture to the page at `dpi`, after a move to a screen of that DPI.
    void OnDpiChanged(UINT dpi);
    // When the page's window goes.
    void Detach();

    // The DPI of a window: the one of its screen for a program aware of each screen's DPI, else
    // the system's.
    static UINT WindowDpi(HWND window);

  private:
    void Show(SIZE size);

    UINT m_bitmapId;
    SIZE m_areaDlu;
    HWND m_control = nullptr;
    // The area in pixels when the page was made, and the DPI then: the base of every later fit.
    SIZE m_baseArea{};
    UINT m_baseDpi = 96;
    HBITMAP m_shown = nullptr;
};
