#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Drives the wizard from outside its GUI thread, as a user would: finds the sheet, waits for
// pages, reads texts and lists back from the controls, presses the wizard's buttons and answers
// message boxes. It works from another thread of the same process and from another process.
namespace WizardDriver {

// The wizard sheet (the top-level dialog with a wizard's Next button) of the process `processId`
// (0: of any process), waiting up to `timeoutMs`; null when it did not appear. Tests that run
// side by side on one display name their own process.
HWND FindSheet(DWORD timeoutMs, DWORD processId = 0);

// Waits until the sheet shows the page at `index` and has no posted work left. False on time-out.
bool WaitForPage(HWND sheet, int index, DWORD timeoutMs);
int CurrentPageIndex(HWND sheet);
HWND CurrentPage(HWND sheet);

// Presses PSBTN_NEXT, PSBTN_BACK, PSBTN_FINISH or PSBTN_CANCEL.
void Press(HWND sheet, int button);
// Whether the sheet's button (IDC of the wizard's Back 0x3023, Next 0x3024, Finish 0x3025,
// Cancel IDCANCEL) is there, shown and enabled.
bool IsButtonEnabled(HWND sheet, int id);
bool IsButtonVisible(HWND sheet, int id);

// The text of control `id`, or "<unreadable>" when the control is missing or does not answer, so
// that a failed read never passes for an empty text.
std::wstring Text(HWND page, int id);
// The text the system keeps for control `id` (or "<unreadable>" when there is no such control),
// read without sending the control a message: it can be read while the page's thread is blocked,
// where Text would wait for that thread.
std::wstring StoredText(HWND page, int id);
bool IsVisible(HWND page, int id);
std::vector<std::wstring> ListItems(HWND page, int id);
int ListSelection(HWND page, int id);
void SelectListItem(HWND page, int id, int index);

// A message box found by its caption, of the process `processId` (0: of any process); null when
// none appeared within `timeoutMs`.
HWND FindMessageBox(const wchar_t* caption, DWORD timeoutMs, DWORD processId = 0);
// The text of a message box.
std::wstring MessageText(HWND box);
// What a message box shows, as one line "caption | text | icon | buttons", e.g.
// "ERROR | 打印机驱动安装失败！ | error | OK". The icon is none, error, question, warning,
// information or unknown; the buttons are named in the order of their ids.
std::wstring MessageLook(HWND box);
// The line MessageLook gives for the box that MessageBoxW(owner, text, caption, type) shows.
std::wstring MessageLook(const wchar_t* caption, const wchar_t* text, UINT type);
// Closes a message box with the button `id` (IDOK, IDCANCEL).
void Answer(HWND box, int id);

// Waits until `window` is gone.
bool WaitForClose(HWND window, DWORD timeoutMs);

// Wizard button ids of the common controls' property sheet.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

}  // namespace WizardDriver
