#include "framework/banner.h"

namespace {

// The bitmap resource `id` and its size, loaded once for every page: reading and converting it
// again for each page would add to each page's first showing.
HBITMAP Loaded(UINT id, SIZE& size) {
    struct Bitmap {
        UINT id;
        HBITMAP bitmap;
        SIZE size;
    };
    static Bitmap loaded[2] = {};
    for (Bitmap& slot : loaded) {
        if (slot.bitmap != nullptr && slot.id != id)
            continue;
        if (slot.bitmap == nullptr) {
            // A device-dependent bitmap, not a DIB section: DIB sections cannot hold the
            // run-length compressed resource, which the system decodes here.
            slot.bitmap = static_cast<HBITMAP>(
                LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
            BITMAP info{};
            if (slot.bitmap == nullptr || GetObjectW(slot.bitmap, sizeof(info), &info) == 0)
                return nullptr;
            slot = {id, slot.bitmap, {info.bmWidth, info.bmHeight}};
        }
        size = slot.size;
        return slot.bitmap;
    }
    return nullptr;
}

// `master` scaled to cover `size`, 24 bits a pixel. The drawing keeps its proportions: the
// dialog font's height grows a little slower than its width with the DPI (at 192 DPI the area is
// 456 x 600 pixels, not 456 x 624), so the drawing is scaled to the width, and what lies beyond
// the area's height, plain ground below the desk line, is left out rather than the drawing
// squeezed. Should an area be relatively taller, the drawing is scaled to the height and cut
// evenly at both sides. HALFTONE averages the source pixels that fall on each target pixel, so
// lines and dots stay smooth when the banner shrinks; the default mode drops whole rows and
// columns. 24 bits, not 32: the static control takes a bitmap of 32 bits for one with an alpha
// channel, and ours has none.
HBITMAP Scaled(HBITMAP master, SIZE masterSize, SIZE size) {
    RECT source{0, 0, masterSize.cx, masterSize.cy};
    if (static_cast<long long>(size.cx) * masterSize.cy >=
        static_cast<long long>(size.cy) * masterSize.cx) {
        source.bottom = MulDiv(size.cy, masterSize.cx, size.cx);
    } else {
        const int width = MulDiv(size.cx, masterSize.cy, size.cy);
        source.left = (masterSize.cx - width) / 2;
        source.right = source.left + width;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP target = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (target != nullptr && from != nullptr && to != nullptr) {
        HGDIOBJ oldFrom = SelectObject(from, master);
        HGDIOBJ oldTo = SelectObject(to, target);
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, nullptr);
        StretchBlt(to, 0, 0, size.cx, size.cy, from, source.left, source.top,
                   source.right - source.left, source.bottom - source.top, SRCCOPY);
        SelectObject(to, oldTo);
        SelectObject(from, oldFrom);
    }
    if (to != nullptr)
        DeleteDC(to);
    if (from != nullptr)
        DeleteDC(from);
    return target;
}

// The page's picture: its static control that shows a bitmap.
HWND PictureControl(HWND page) {
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Static") == 0 &&
            (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            return child;
    }
    return nullptr;
}

}  // namespace

CBanner::~CBanner() {
    if (m_shown != nullptr)
        DeleteObject(m_shown);
}

UINT CBanner::WindowDpi(HWND window) {
    // Windows 10 1607 and later; the program also runs where it is missing.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void CBanner::Attach(HWND page) {
    m_page = page;
    m_control = PictureControl(page);
    m_baseBox = {};
    m_baseDpi = WindowDpi(page);
    Fit();
}

void CBanner::Fit() {
    if (m_control == nullptr)
        return;
    // The template's box in the page's font at its DPI: what the page's other controls are laid
    // out by.
    RECT mapped{0, 0, m_areaDlu.cx, m_areaDlu.cy};
    MapDialogRect(m_page, &mapped);
    SIZE box{mapped.right, mapped.bottom};
    const UINT dpi = WindowDpi(m_page);
    if (m_baseBox.cx == 0) {
        m_baseBox = box;
    } else if (dpi != m_baseDpi && box.cx == m_baseBox.cx && box.cy == m_baseBox.cy) {
        // After a move to another screen Windows gives the page a font for the new DPI; until it
        // has, the box grows with the DPI.
        box = {MulDiv(m_baseBox.cx, static_cast<int>(dpi), static_cast<int>(m_baseDpi)),
               MulDiv(m_baseBox.cy, static_cast<int>(dpi), static_cast<int>(m_baseDpi))};
    }
    Show(box);
}

void CBanner::Detach() {
    if (m_control != nullptr)
        SendMessageW(m_control, STM_SETIMAGE, IMAGE_BITMAP, 0);
    m_control = nullptr;
    m_page = nullptr;
    if (m_shown != nullptr)
        DeleteObject(m_shown);
    m_shown = nullptr;
}

void CBanner::Show(SIZE size) {
    if (size.cx <= 0 || size.cy <= 0)
        return;
    // The smaller bitmap that covers the box, else the larger one.
    SIZE masterSize{};
    HBITMAP master = nullptr;
    for (UINT id : m_bitmapIds) {
        SIZE loadedSize{};
        if (HBITMAP loaded = Loaded(id, loadedSize)) {
            master = loaded;
            masterSize = loadedSize;
            if (loadedSize.cx >= size.cx && loadedSize.cy >= size.cy)
                break;
        }
    }
    if (master == nullptr)
        return;
    HBITMAP bitmap = Scaled(master, masterSize, size);
    if (bitmap == nullptr)
        return;
    // The bitmap the control had is ours to delete: our earlier one, or the one the control loaded
    // from the template itself, which it deletes only while it still shows it.
    auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(m_control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous != nullptr && previous != bitmap)
        DeleteObject(previous);
    m_shown = bitmap;
    SetWindowPos(m_control, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
