#include "tests/gui/wizard_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <atomic>
#include <iterator>

namespace WizardDriver {

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kMessageTimeoutMs = 5000;
// The text of a window that is missing or does not answer.
constexpr wchar_t kUnreadable[] = L"<unreadable>";

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(kPollMs);
    }
    return true;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &result);
    return static_cast<LRESULT>(result);
}

// The marker posted behind the sheet's own posted messages, and who waits for it.
const UINT kFlushMarker = RegisterWindowMessageW(L"KorvelWizardDriverFlush");
std::atomic<HANDLE> g_flushed{nullptr};

LRESULT CALLBACK SeeMarker(int code, WPARAM removed, LPARAM message) {
    if (code == HC_ACTION && removed == PM_REMOVE &&
        reinterpret_cast<const MSG*>(message)->message == kFlushMarker) {
        SetEvent(g_flushed.load());
    }
    return CallNextHookEx(nullptr, code, removed, message);
}

// Returns once the sheet's thread has handled what was posted to it before, such as the button
// changes a page posts. A sent message does not tell that: the thread handles sent messages
// before posted ones. In this process a hook sees a marker posted behind them being taken from the
// queue, which happens only after the messages ahead of it were handled; from another process a
// sent message is the best there is.
void Flush(HWND sheet) {
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(sheet, &process);
    if (process != GetCurrentProcessId()) {
        Send(sheet, WM_NULL);
        return;
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_flushed = event;
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &SeeMarker, nullptr, thread);
    if (hook != nullptr && PostMessageW(sheet, kFlushMarker, 0, 0))
        WaitForSingleObject(event, kMessageTimeoutMs);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    g_flushed = nullptr;
    CloseHandle(event);
}

// The static text of a message box: id 0xFFFF on Windows, 100 in Wine.
HWND MessageTextControl(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? text : GetDlgItem(box, 100);
}

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length)) {
        return kUnreadable;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
        return kUnreadable;
    }
    text.resize(copied);
    return text;
}

// The buttons a message box can have, named in the order of their ids.
const struct {
    int id;
    const wchar_t* name;
} kBoxButtons[] = {{IDOK, L"OK"},
                   {IDCANCEL, L"Cancel"},
                   {IDABORT, L"Abort"},
                   {IDRETRY, L"Retry"},
                   {IDIGNORE, L"Ignore"},
                   {IDYES, L"Yes"},
                   {IDNO, L"No"},
                   {IDHELP, L"Help"},
                   {IDTRYAGAIN, L"Try Again"},
                   {IDCONTINUE, L"Continue"}};

// The buttons of each MB_ button type; MB_HELP adds Help to any of them.
const struct {
    UINT type;
    int ids[3];
} kTypeButtons[] = {{MB_OK, {IDOK}},
                    {MB_OKCANCEL, {IDOK, IDCANCEL}},
                    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
                    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
                    {MB_YESNO, {IDYES, IDNO}},
                    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
                    {MB_CANCELTRYCONTINUE, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}}};

// The icons a message box can show, by the MB_ flag that asks for each.
const struct {
    UINT flag;
    LPCWSTR id;
    const wchar_t* name;
} kBoxIcons[] = {{MB_ICONHAND, IDI_HAND, L"error"},
                 {MB_ICONQUESTION, IDI_QUESTION, L"question"},
                 {MB_ICONEXCLAMATION, IDI_EXCLAMATION, L"warning"},
                 {MB_ICONASTERISK, IDI_ASTERISK, L"information"}};

std::wstring LookLine(const std::wstring& caption, const std::wstring& text, const wchar_t* icon,
                      const std::wstring& buttons) {
    return caption + L" | " + text + L" | " + icon + L" |" + buttons;
}

// The icon control of a message box: its static with the SS_ICON style (id 1088 in Wine 8). Wine
// keeps it, holding no icon, in a box that asks for none.
HWND IconControl(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Static") == 0 &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            return child;
        }
    }
    return nullptr;
}

// The pixels, as 0xRRGGBB, that `paint` leaves on a bitmap of the given size.
template <typename Paint>
std::vector<DWORD> Pixels(int width, int height, Paint paint) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    paint(memory, screen);
    SelectObject(memory, previous);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (DWORD& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

// Whether the screen shows `icon` in `control`: its pixels there against the icon drawn on the
// colour of the control's corner, which the system icons leave transparent.
bool ScreenShows(HWND control, HICON icon) {
    RECT area = {};
    GetClientRect(control, &area);
    POINT origin = {0, 0};
    ClientToScreen(control, &origin);
    const std::vector<DWORD> shown = Pixels(area.right, area.bottom, [&](HDC memory, HDC screen) {
        BitBlt(memory, 0, 0, area.right, area.bottom, screen, origin.x, origin.y, SRCCOPY);
    });
    if (shown.empty())
        return false;
    const std::vector<DWORD> drawn = Pixels(area.right, area.bottom, [&](HDC memory, HDC) {
        HBRUSH background =
            CreateSolidBrush(RGB(shown[0] >> 16, (shown[0] >> 8) & 0xFF, shown[0] & 0xFF));
        FillRect(memory, &area, background);
        DeleteObject(background);
        DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    });
    return shown == drawn;
}

// The icon a message box shows. In the box's own process its icon control holds the very handle
// LoadIcon gives for that system icon. Wine's icon handles are the process's own (from another
// process none of them matches), so from there the control's pixels on the screen are compared
// with each icon instead; that needs the box painted and uncovered, hence the wait.
const wchar_t* IconName(HWND box) {
    HWND control = IconControl(box);
    const auto shown =
        control != nullptr ? reinterpret_cast<HICON>(Send(control, STM_GETICON)) : nullptr;
    if (shown == nullptr)
        return L"none";
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    const wchar_t* name = L"unknown";
    WaitFor(
        [&] {
            for (const auto& icon : kBoxIcons) {
                HICON system = LoadIconW(nullptr, icon.id);
                if (owner == GetCurrentProcessId() ? shown == system
                                                   : ScreenShows(control, system)) {
                    name = icon.name;
                    return true;
                }
            }
            return false;
        },
        kMessageTimeoutMs);
    return name;
}

// The first visible top-level dialog of the process (0: any) that `matches`.
template <typename Match>
HWND FindDialog(DWORD processId, Match matches) {
    struct Search {
        DWORD processId;
        Match* matches;
        HWND found;
    } search{processId, &matches, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window) ||
                (s->processId != 0 && owner != s->processId) || !(*s->matches)(window)) {
                return TRUE;
            }
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND FindSheet(DWORD timeoutMs, DWORD processId) {
    HWND sheet = nullptr;
    WaitFor(
        [&] {
            sheet = FindDialog(
                processId, [](HWND window) { return GetDlgItem(window, kNextButton) != nullptr; });
            return sheet != nullptr;
        },
        timeoutMs);
    return sheet;
}

HWND CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(Send(sheet, PSM_GETCURRENTPAGEHWND));
}

int CurrentPageIndex(HWND sheet) {
    HWND page = CurrentPage(sheet);
    return page == nullptr
               ? -1
               : static_cast<int>(Send(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page)));
}

bool WaitForPage(HWND sheet, int index, DWORD timeoutMs) {
    const bool shown = WaitFor([&] { return CurrentPageIndex(sheet) == index; }, timeoutMs);
    Flush(sheet);
    return shown;
}

void Press(HWND sheet, int button) {
    PostMessageW(sheet, PSM_PRESSBUTTON, button, 0);
}

bool IsButtonEnabled(HWND sheet, int id) {
    Flush(sheet);
    HWND button = GetDlgItem(sheet, id);
    return button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button);
}

bool IsButtonVisible(HWND sheet, int id) {
    Flush(sheet);
    HWND button = GetDlgItem(sheet, id);
    return button != nullptr && IsWindowVisible(button);
}

std::wstring Text(HWND page, int id) {
    return WindowText(GetDlgItem(page, id));
}

std::wstring StoredText(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    if (control == nullptr)
        return kUnreadable;
    std::wstring text(256, L'\0');
    int length = 0;
    // A text that fills the buffer may have been cut: read again with room to spare.
    while ((length = InternalGetWindowText(control, text.data(), static_cast<int>(text.size()))) ==
           static_cast<int>(text.size()) - 1) {
        text.resize(text.size() * 2);
    }
    text.resize(static_cast<size_t>(length));
    return text;
}

bool IsVisible(HWND page, int id) {
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

std::vector<std::wstring> ListItems(HWND page, int id) {
    HWND list = GetDlgItem(page, id);
    std::vector<std::wstring> items;
    const LRESULT count = Send(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = Send(list, LB_GETTEXTLEN, i);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied = Send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        items.push_back(text);
    }
    return items;
}

int ListSelection(HWND page, int id) {
    return static_cast<int>(Send(GetDlgItem(page, id), LB_GETCURSEL));
}

void SelectListItem(HWND page, int id, int index) {
    Send(GetDlgItem(page, id), LB_SETCURSEL, index);
}

HWND FindMessageBox(const wchar_t* caption, DWORD timeoutMs, DWORD processId) {
    // A message box has its text control and no wizard buttons, which tells it from the sheet.
    HWND box = nullptr;
    WaitFor(
        [&] {
            box = FindDialog(processId, [caption](HWND window) {
                return WindowText(window) == caption && MessageTextControl(window) != nullptr &&
                       GetDlgItem(window, kNextButton) == nullptr;
            });
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

std::wstring MessageText(HWND box) {
    return WindowText(MessageTextControl(box));
}

std::wstring MessageLook(HWND box) {
    std::wstring buttons;
    for (const auto& button : kBoxButtons) {
        HWND control = GetDlgItem(box, button.id);
        if (control != nullptr && IsWindowVisible(control))
            buttons += std::wstring(L" ") + button.name;
    }
    return LookLine(WindowText(box), MessageText(box), IconName(box), buttons);
}

std::wstring MessageLook(const wchar_t* caption, const wchar_t* text, UINT type) {
    const wchar_t* icon = L"none";
    for (const auto& candidate : kBoxIcons) {
        if ((type & MB_ICONMASK) == candidate.flag)
            icon = candidate.name;
    }
    std::wstring buttons;
    for (const auto& button : kBoxButtons) {
        bool shown = button.id == IDHELP && (type & MB_HELP) != 0;
        for (const auto& set : kTypeButtons) {
            shown = shown || (set.type == (type & MB_TYPEMASK) &&
                              std::find(std::begin(set.ids), std::end(set.ids), button.id) !=
                                  std::end(set.ids));
        }
        if (shown)
            buttons += std::wstring(L" ") + button.name;
    }
    return LookLine(caption, text, icon, buttons);
}

void Answer(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool WaitForClose(HWND window, DWORD timeoutMs) {
    return WaitFor([&] { return IsWindow(window) == FALSE; }, timeoutMs);
}

}  // namespace WizardDriver
