#include "tests/gui/wizard_driver.h"

#include <commctrl.h>
#include <prsht.h>

namespace WizardDriver {

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kMessageTimeoutMs = 5000;

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

// The static text of a message box: id 0xFFFF on Windows, 100 in Wine.
HWND MessageTextControl(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? text : GetDlgItem(box, 100);
}

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length)) {
        return L"<unreadable>";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
        return L"<unreadable>";
    }
    text.resize(copied);
    return text;
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
    // A message sent through the sheet's queue returns only after the posted button changes.
    Send(sheet, WM_NULL);
    return shown;
}

void Press(HWND sheet, int button) {
    PostMessageW(sheet, PSM_PRESSBUTTON, button, 0);
}

bool IsButtonEnabled(HWND sheet, int id) {
    Send(sheet, WM_NULL);
    HWND button = GetDlgItem(sheet, id);
    return button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button);
}

bool IsButtonVisible(HWND sheet, int id) {
    Send(sheet, WM_NULL);
    HWND button = GetDlgItem(sheet, id);
    return button != nullptr && IsWindowVisible(button);
}

std::wstring Text(HWND page, int id) {
    return WindowText(GetDlgItem(page, id));
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

void Answer(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool WaitForClose(HWND window, DWORD timeoutMs) {
    return WaitFor([&] { return IsWindow(window) == FALSE; }, timeoutMs);
}

}  // namespace WizardDriver
