// Walks the running wizard from outside, one step per process, for the end-to-end scripts: each
// run does one thing to the wizard of the same Wine prefix, prints what it read as UTF-8 lines and
// ends with 0, or says what went wrong on the standard error stream and ends with 1. Every wait
// is bounded, so a wizard that hangs fails the walk instead of holding it.
//
//   wait-page INDEX            waits until the wizard shows the page at INDEX
//   press next|back|finish|cancel
//   text ID                    the text of control ID on the current page
//   list ID                    the items of list box ID on the current page, one a line
//   selected ID                the selected item of list box ID
//   select ID INDEX            selects item INDEX of list box ID
//   buttons                    each wizard button as name=enabled|disabled|hidden, one a line
//   watch-text ID CAPTION      every text control ID shows, one a line as it changes, until a
//                              message box with CAPTION is shown
//   wait-box CAPTION           waits for a message box with CAPTION and prints what it shows:
//                              "caption | text | icon | buttons" (WizardDriver::MessageLook)
//   answer CAPTION ok|cancel   closes that message box with the button, and waits until it is gone
//   banner                     the size of the current page's banner in pixels, as WxH
//   wait-closed                waits until the wizard is gone
//   default-printer            the name of the default printer
//   queue NAME                 the port of the queue NAME; fails when there is no such queue
//   queues                     the names of the local queues, one a line; fails when the spooler
//                              cannot list them
//   hold mutex|lock NAME MARKER
//                              takes the mutex NAME, or the lock a setup run takes on the file
//                              NAME, makes the file MARKER and holds on until MARKER is gone
//
// The option --timeout MS, given first, changes the bound of every wait (20 s by default); the
// last one given counts.
#include <windows.h>
#include <winspool.h>

#include <prsht.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/wizard_driver.h"

namespace {

DWORD g_timeoutMs = 20000;

struct PrinterCloser {
    void operator()(HANDLE printer) const { ClosePrinter(printer); }
};
using UniquePrinter = std::unique_ptr<void, PrinterCloser>;

void Write(DWORD stream, const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

void Print(const std::wstring& line) {
    Write(STD_OUTPUT_HANDLE, line + L"\n");
}

int Fail(const std::wstring& why) {
    Write(STD_ERROR_HANDLE, L"wizard_walker: " + why + L"\n");
    return 1;
}

// A whole decimal number, or -1.
int Number(const std::wstring& text) {
    if (text.empty() || text.size() > 9)
        return -1;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return -1;
        value = value * 10 + (c - L'0');
    }
    return value;
}

HWND Sheet() {
    return WizardDriver::FindSheet(g_timeoutMs);
}

int WaitPage(const std::wstring& index) {
    const int wanted = Number(index);
    if (wanted < 0)
        return Fail(L"not a page index: " + index);
    HWND sheet = Sheet();
    if (sheet == nullptr)
        return Fail(L"no wizard appeared");
    if (!WizardDriver::WaitForPage(sheet, wanted, g_timeoutMs)) {
        return Fail(L"the wizard shows page " +
                    std::to_wstring(WizardDriver::CurrentPageIndex(sheet)) + L", not " + index);
    }
    return 0;
}

int Press(const std::wstring& name) {
    int button = -1;
    if (name == L"next")
        button = PSBTN_NEXT;
    else if (name == L"back")
        button = PSBTN_BACK;
    else if (name == L"finish")
        button = PSBTN_FINISH;
    else if (name == L"cancel")
        button = PSBTN_CANCEL;
    else
        return Fail(L"no such button: " + name);
    HWND sheet = Sheet();
    if (sheet == nullptr)
        return Fail(L"no wizard to press " + name + L" on");
    WizardDriver::Press(sheet, button);
    return 0;
}

// The current page and the id of one of its controls, or a failure.
int PageControl(const std::wstring& idText, HWND& page, int& id) {
    id = Number(idText);
    if (id < 0)
        return Fail(L"not a control id: " + idText);
    HWND sheet = Sheet();
    page = sheet != nullptr ? WizardDriver::CurrentPage(sheet) : nullptr;
    if (page == nullptr)
        return Fail(L"no wizard page is shown");
    if (GetDlgItem(page, id) == nullptr)
        return Fail(L"the current page has no control " + idText);
    return 0;
}

int Text(const std::wstring& idText) {
    HWND page = nullptr;
    int id = 0;
    if (PageControl(idText, page, id) != 0)
        return 1;
    Print(WizardDriver::Text(page, id));
    return 0;
}

// The banner is the page's static control that shows a bitmap; its template gives it no id.
int Banner() {
    HWND sheet = Sheet();
    HWND page = sheet != nullptr ? WizardDriver::CurrentPage(sheet) : nullptr;
    if (page == nullptr)
        return Fail(L"no wizard page is shown");
    for (HWND child = FindWindowExW(page, nullptr, L"Static", nullptr); child != nullptr;
         child = FindWindowExW(page, child, L"Static", nullptr)) {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
            RECT rect{};
            GetClientRect(child, &rect);
            Print(std::to_wstring(rect.right) + L"x" + std::to_wstring(rect.bottom));
            return 0;
        }
    }
    return Fail(L"the current page has no banner");
}

int List(const std::wstring& idText) {
    HWND page = nullptr;
    int id = 0;
    if (PageControl(idText, page, id) != 0)
        return 1;
    for (const std::wstring& item : WizardDriver::ListItems(page, id))
        Print(item);
    return 0;
}

int Selected(const std::wstring& idText) {
    HWND page = nullptr;
    int id = 0;
    if (PageControl(idText, page, id) != 0)
        return 1;
    const int selected = WizardDriver::ListSelection(page, id);
    const std::vector<std::wstring> items = WizardDriver::ListItems(page, id);
    if (selected < 0 || static_cast<size_t>(selected) >= items.size())
        return Fail(L"list " + idText + L" has no selected item");
    Print(items[static_cast<size_t>(selected)]);
    return 0;
}

int Select(const std::wstring& idText, const std::wstring& indexText) {
    HWND page = nullptr;
    int id = 0;
    if (PageControl(idText, page, id) != 0)
        return 1;
    const int index = Number(indexText);
    if (index < 0 || static_cast<size_t>(index) >= WizardDriver::ListItems(page, id).size())
        return Fail(L"list " + idText + L" has no item " + indexText);
    WizardDriver::SelectListItem(page, id, index);
    if (WizardDriver::ListSelection(page, id) != index)
        return Fail(L"item " + indexText + L" of list " + idText + L" did not become selected");
    return 0;
}

int Buttons() {
    HWND sheet = Sheet();
    if (sheet == nullptr)
        return Fail(L"no wizard appeared");
    const struct {
        const wchar_t* name;
        int id;
    } buttons[] = {{L"back", WizardDriver::kBackButton},
                   {L"next", WizardDriver::kNextButton},
                   {L"finish", WizardDriver::kFinishButton},
                   {L"cancel", IDCANCEL}};
    for (const auto& button : buttons) {
        const wchar_t* state = !WizardDriver::IsButtonVisible(sheet, button.id)  ? L"hidden"
                               : WizardDriver::IsButtonEnabled(sheet, button.id) ? L"enabled"
                                                                                 : L"disabled";
        Print(std::wstring(button.name) + L"=" + state);
    }
    return 0;
}

// Polls often enough to see a text that stays for a tenth of a second; every change is printed
// at once, so that a walk that times out still shows how far the page got.
int WatchText(const std::wstring& idText, const std::wstring& caption) {
    HWND page = nullptr;
    int id = 0;
    if (PageControl(idText, page, id) != 0)
        return 1;
    const ULONGLONG end = GetTickCount64() + g_timeoutMs;
    std::wstring last;
    bool first = true;
    for (;;) {
        const std::wstring text = WizardDriver::Text(page, id);
        if (first || text != last)
            Print(text);
        first = false;
        last = text;
        if (WizardDriver::FindMessageBox(caption.c_str(), 0) != nullptr)
            return 0;
        if (GetTickCount64() >= end)
            return Fail(L"no message box \"" + caption + L"\" appeared");
        Sleep(10);
    }
}

int WaitBox(const std::wstring& caption) {
    HWND box = WizardDriver::FindMessageBox(caption.c_str(), g_timeoutMs);
    if (box == nullptr)
        return Fail(L"no message box \"" + caption + L"\" appeared");
    Print(WizardDriver::MessageLook(box));
    return 0;
}

int Answer(const std::wstring& caption, const std::wstring& answer) {
    int id = 0;
    if (answer == L"ok")
        id = IDOK;
    else if (answer == L"cancel")
        id = IDCANCEL;
    else
        return Fail(L"no such answer: " + answer);
    HWND box = WizardDriver::FindMessageBox(caption.c_str(), g_timeoutMs);
    if (box == nullptr)
        return Fail(L"no message box \"" + caption + L"\" to answer");
    WizardDriver::Answer(box, id);
    if (!WizardDriver::WaitForClose(box, g_timeoutMs))
        return Fail(L"the message box \"" + caption + L"\" stayed open");
    return 0;
}

int WaitClosed() {
    HWND sheet = WizardDriver::FindSheet(0);
    if (sheet != nullptr && !WizardDriver::WaitForClose(sheet, g_timeoutMs))
        return Fail(L"the wizard stayed open");
    return 0;
}

int DefaultPrinter() {
    DWORD size = 0;
    if (GetDefaultPrinterW(nullptr, &size))
        return Fail(L"the spooler gave a default printer of no length");
    const DWORD sizeError = GetLastError();
    if (sizeError != ERROR_INSUFFICIENT_BUFFER)
        return Fail(L"no default printer: error " + std::to_wstring(sizeError));
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size)) {
        const DWORD error = GetLastError();
        return Fail(L"reading the default printer: error " + std::to_wstring(error));
    }
    Print(name.c_str());
    return 0;
}

int Queue(std::wstring name) {
    HANDLE opened = nullptr;
    if (!OpenPrinterW(name.data(), &opened, nullptr)) {
        const DWORD error = GetLastError();
        return Fail(L"no queue \"" + name + L"\": error " + std::to_wstring(error));
    }
    const UniquePrinter printer(opened);
    DWORD needed = 0;
    GetPrinterW(printer.get(), 2, nullptr, 0, &needed);
    const DWORD sizeError = GetLastError();
    if (sizeError != ERROR_INSUFFICIENT_BUFFER)
        return Fail(L"sizing the queue's details: error " + std::to_wstring(sizeError));
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterW(printer.get(), 2, buffer.data(), needed, &needed)) {
        const DWORD error = GetLastError();
        return Fail(L"reading the queue's details: error " + std::to_wstring(error));
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    Print(info->pPortName != nullptr ? info->pPortName : L"");
    return 0;
}

int Queues() {
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        const DWORD error = GetLastError();
        return Fail(L"sizing the list of queues: error " + std::to_wstring(error));
    }
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.data(), needed, &needed, &count)) {
        const DWORD error = GetLastError();
        return Fail(L"listing the queues: error " + std::to_wstring(error));
    }
    const auto* queues = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Print(queues[i].pPrinterName);
    return 0;
}

// Another process in the lock's way, as a standard user's program or a second run would be.
int Hold(const std::wstring& kind, const std::wstring& name, const std::wstring& marker) {
    HANDLE held = nullptr;
    if (kind == L"mutex") {
        held = CreateMutexW(nullptr, TRUE, name.c_str());
    } else if (kind == L"lock") {
        held = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
        OVERLAPPED region{};
        if (held == INVALID_HANDLE_VALUE ||
            !LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                        &region))
            held = nullptr;
    } else {
        return Fail(L"nothing to hold by the name " + kind);
    }
    if (held == nullptr)
        return Fail(L"could not take " + name + L": error " + std::to_wstring(GetLastError()));
    const HANDLE made =
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (made == INVALID_HANDLE_VALUE)
        return Fail(L"could not make " + marker + L": error " + std::to_wstring(GetLastError()));
    CloseHandle(made);
    const ULONGLONG start = GetTickCount64();
    while (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() - start >= g_timeoutMs)
            return Fail(L"nobody removed " + marker);
        Sleep(20);
    }
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    const std::wstring command = args.empty() ? std::wstring() : args[0];
    const size_t count = args.size() - (args.empty() ? 0 : 1);
    if (command == L"wait-page" && count == 1)
        return WaitPage(args[1]);
    if (command == L"press" && count == 1)
        return Press(args[1]);
    if (command == L"text" && count == 1)
        return Text(args[1]);
    if (command == L"list" && count == 1)
        return List(args[1]);
    if (command == L"selected" && count == 1)
        return Selected(args[1]);
    if (command == L"select" && count == 2)
        return Select(args[1], args[2]);
    if (command == L"buttons" && count == 0)
        return Buttons();
    if (command == L"watch-text" && count == 2)
        return WatchText(args[1], args[2]);
    if (command == L"wait-box" && count == 1)
        return WaitBox(args[1]);
    if (command == L"answer" && count == 2)
        return Answer(args[1], args[2]);
    if (command == L"banner" && count == 0)
        return Banner();
    if (command == L"wait-closed" && count == 0)
        return WaitClosed();
    if (command == L"default-printer" && count == 0)
        return DefaultPrinter();
    if (command == L"queue" && count == 1)
        return Queue(args[1]);
    if (command == L"queues" && count == 0)
        return Queues();
    if (command == L"hold" && count == 3)
        return Hold(args[1], args[2], args[3]);
    return Fail(L"unknown command or wrong number of arguments: " + command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    // A later time-out overrides an earlier one, so that a script can give a default for every
    // step and one step a longer one.
    while (args.size() >= 2 && args[0] == L"--timeout") {
        const int timeout = Number(args[1]);
        if (timeout < 0)
            return Fail(L"not a time-out in milliseconds: " + args[1]);
        g_timeoutMs = static_cast<DWORD>(timeout);
        args.erase(args.begin(), args.begin() + 2);
    }
    return Run(args);
}
