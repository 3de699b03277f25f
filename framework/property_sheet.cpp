#include "framework/property_sheet.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/property_page.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;

// The sheet whose window PropertySheetW is making on this thread: its callback has no other way
// to reach the object.
thread_local CPropertySheet* t_sheetBeingMade = nullptr;

}  // namespace

CPropertySheet::CPropertySheet(const wchar_t* caption, HWND parent, UINT selectPage)
    : m_caption(caption != nullptr ? caption : L""), m_parent(parent), m_startPage(selectPage) {}

CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage* page) {
    page->SetSheet(this);
    m_pages.push_back(page);
}

void CPropertySheet::SetWizardMode() {
    m_wizard = true;
}

void CPropertySheet::SetActivePage(CPropertyPage* page) {
    const int index = GetPageIndex(page);
    if (index >= 0)
        m_startPage = static_cast<UINT>(index);
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
    const auto it = std::find(m_pages.begin(), m_pages.end(), page);
    return it == m_pages.end() ? -1 : static_cast<int>(it - m_pages.begin());
}

BOOL CPropertySheet::OnInitDialog() {
    return TRUE;
}

void CPropertySheet::SetWizardButtons(DWORD flags) {
    if (m_hWnd != nullptr)
        PostMessageW(m_hWnd, PSM_SETWIZBUTTONS, 0, flags);
}

void CPropertySheet::EndDialog(int result) {
    m_ending = true;
    m_endResult = result;
    m_navigationBlocked = false;
    if (m_hWnd != nullptr)
        PropSheet_PressButton(m_hWnd, PSBTN_CANCEL);
}

INT_PTR CPropertySheet::DoModal() {
    std::vector<PROPSHEETPAGEW> pages;
    for (CPropertyPage* page : m_pages)
        pages.push_back(page->SheetPage());

    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags =
        PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_NOAPPLYNOW | (m_wizard ? PSH_WIZARD : 0);
    header.hwndParent = m_parent;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = m_caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = m_startPage;
    header.ppsp = pages.data();
    header.pfnCallback = &SheetCallback;

    m_ending = false;
    t_sheetBeingMade = this;
    const INT_PTR result = PropertySheetW(&header);
    t_sheetBeingMade = nullptr;
    m_hWnd = nullptr;
    return m_ending ? m_endResult : (result > 0 ? result : (result == 0 ? IDCANCEL : -1));
}

int CALLBACK CPropertySheet::SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && t_sheetBeingMade != nullptr) {
        CPropertySheet* sheet = t_sheetBeingMade;
        sheet->m_hWnd = window;
        SetWindowSubclass(window, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(sheet));
        sheet->OnInitDialog();
    }
    return 0;
}

bool CPropertySheet::IsNavigationRequest(UINT message, WPARAM wParam) {
    // The sheet's own ids of its Back, Next and Finish buttons.
    constexpr WORD kBackButton = 0x3023;
    constexpr WORD kFinishButton = 0x3025;
    switch (message) {
        case WM_CLOSE:
            return true;
        case WM_SYSCOMMAND:
            return (wParam & 0xFFF0) == SC_CLOSE;
        case WM_COMMAND:
            return LOWORD(wParam) == IDCANCEL ||
                   (LOWORD(wParam) >= kBackButton && LOWORD(wParam) <= kFinishButton);
        case PSM_PRESSBUTTON:
        case PSM_SETCURSEL:
        case PSM_SETCURSELID:
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK CPropertySheet::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* sheet = reinterpret_cast<CPropertySheet*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &SubclassProc, kSubclassId);
    } else if (sheet->m_navigationBlocked && IsNavigationRequest(message, wParam)) {
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
