#include "framework/property_page.h"

#include "framework/banner.h"
#include "framework/check_list_box.h"
#include "framework/list_box.h"

// Declared by the SDK for Windows 10 only; the program also runs on earlier versions, which never
// send it.
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

CPropertyPage::CPropertyPage(UINT templateId) : m_templateId(templateId) {}

CPropertyPage::~CPropertyPage() = default;

BOOL CPropertyPage::OnInitDialog() {
    return TRUE;
}
BOOL CPropertyPage::OnSetActive() {
    return TRUE;
}
LRESULT CPropertyPage::OnWizardNext() {
    return 0;
}
LRESULT CPropertyPage::OnWizardBack() {
    return 0;
}
BOOL CPropertyPage::OnWizardFinish() {
    return TRUE;
}

bool CPropertyPage::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void CPropertyPage::BindBanner(UINT bitmapId, UINT doubleId, SIZE areaDlu) {
    m_banner = std::make_unique<CBanner>(bitmapId, doubleId, areaDlu);
}

void CPropertyPage::BindText(int id, CString& member) {
    m_texts.push_back({id, &member});
}

void CPropertyPage::BindRadioGroup(int firstId, int lastId, int& member) {
    m_radios.push_back({firstId, lastId, &member});
}

void CPropertyPage::BindListBox(int id, CListBox& control) {
    m_lists.push_back({id, &control, nullptr});
}

void CPropertyPage::BindCheckListBox(int id, CCheckListBox& control) {
    m_lists.push_back({id, &control, &control});
}

BOOL CPropertyPage::UpdateData(BOOL saveAndValidate) {
    if (m_hWnd == nullptr)
        return FALSE;
    for (const TextBinding& text : m_texts) {
        if (saveAndValidate) {
            HWND control = GetDlgItem(text.id);
            const int length = GetWindowTextLengthW(control);
            std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
            const int copied = GetWindowTextW(control, buffer.data(), length + 1);
            text.member->assign(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
        } else {
            SetDlgItemTextW(m_hWnd, text.id, text.member->c_str());
        }
    }
    for (const RadioBinding& radio : m_radios) {
        if (saveAndValidate) {
            *radio.member = -1;
            for (int id = radio.firstId; id <= radio.lastId; ++id) {
                if (IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED)
                    *radio.member = id - radio.firstId;
            }
        } else {
            CheckRadioButton(m_hWnd, radio.firstId, radio.lastId, radio.firstId + *radio.member);
        }
    }
    return TRUE;
}

int CPropertyPage::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    return ::MessageBoxW(m_hWnd, text, caption, type);
}

UINT_PTR CPropertyPage::SetTimer(UINT_PTR id, UINT milliseconds) {
    return ::SetTimer(m_hWnd, id, milliseconds, nullptr);
}

BOOL CPropertyPage::KillTimer(UINT_PTR id) {
    return ::KillTimer(m_hWnd, id);
}

PROPSHEETPAGEW CPropertyPage::SheetPage() {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(m_templateId);
    page.pfnDlgProc = &DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

void CPropertyPage::AttachControls() {
    for (const ListBinding& list : m_lists) {
        if (list.checkList != nullptr) {
            list.checkList->AttachCheckList(GetDlgItem(list.id));
        } else {
            list.control->Attach(GetDlgItem(list.id));
        }
    }
}

INT_PTR CPropertyPage::OnNotify(const NMHDR& header) {
    LRESULT result = 0;
    switch (header.code) {
        case PSN_SETACTIVE:
            result = OnSetActive() ? 0 : -1;
            break;
        case PSN_WIZNEXT:
            result = OnWizardNext();
            break;
        case PSN_WIZBACK:
            result = OnWizardBack();
            break;
        case PSN_WIZFINISH:
            // The sheet asks whether to stay open: nonzero keeps it.
            result = OnWizardFinish() ? FALSE : TRUE;
            break;
        default:
            return FALSE;
    }
    SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<CPropertyPage*>(
            reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->m_hWnd = window;
        page->AttachControls();
        if (page->m_banner != nullptr)
            page->m_banner->Attach(window);
        return page->OnInitDialog();
    }
    auto* page = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (page == nullptr)
        return FALSE;
    switch (message) {
        case WM_NOTIFY:
            return page->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_DRAWITEM:
            for (const ListBinding& list : page->m_lists) {
                if (list.checkList != nullptr && static_cast<int>(wParam) == list.id) {
                    list.checkList->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                    return TRUE;
                }
            }
            break;
        case WM_DPICHANGED_AFTERPARENT:
            // The window has moved to a screen of another DPI (for a program aware of each
            // screen's DPI, from Windows 10 1703 on).
            if (page->m_banner != nullptr)
                page->m_banner->Fit();
            break;
        case WM_DESTROY:
            if (page->m_banner != nullptr)
                page->m_banner->Detach();
            page->m_hWnd = nullptr;
            break;
        default:
            break;
    }
    LRESULT result = 0;
    if (page->OnMessage(message, wParam, lParam, result)) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}
