#include "app/step4.h"

#include "app/process_objects.h"
#include "app/resource.h"
#include "framework/property_sheet.h"

namespace {

constexpr uint32_t kNameBuffer = 100;

}  // namespace

CStep4::CStep4() : CPropertyPage(IDD_STEP4) {
    BindBanner(IDB_BANNER, IDB_BANNER_2X, {BANNER_WIDTH_DLU, BANNER_HEIGHT_DLU});
    BindRadioGroup(IDC_STEP4_DEFAULT_YES, IDC_STEP4_DEFAULT_NO, m_makeDefaultChoice);
    BindRadioGroup(IDC_STEP4_TESTPAGE_YES, IDC_STEP4_TESTPAGE_NO, m_testPageChoice);
    BindCheckListBox(IDC_STEP4_PRINTERS, m_printerList);
    BindText(IDC_STEP4_NOTE, m_noteText);
}

BOOL CStep4::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    FillPrinterList();
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

void CStep4::FillPrinterList() {
    for (int i = m_printerList.GetCount() - 1; i >= 0; --i)
        m_printerList.DeleteString(i);
    wchar_t name[kNameBuffer] = {};
    theSetup.GetPrinterName(name, kNameBuffer);
    StringList queues;
    if (theSetup.ListPrinters(name, queues) != 0) {
        for (const std::wstring& queue : queues) {
            const int index = m_printerList.AddString(queue.c_str());
            m_printerList.SetCheck(index, 0);
        }
        m_printerList.SetCurSel(0);
    }
    UpdateData(FALSE);
}

LRESULT CStep4::OnWizardNext() {
    UpdateData(TRUE);
    // The installation page sets both options itself on Finish; these are the values of the
    // page's initial choices, stored whatever the buttons show.
    theSetup.SetMakeDefault(1);
    theSetup.SetPrintTestPage(0);
    CollectCheckedPrinters();
    return 0;
}

LRESULT CStep4::OnWizardBack() {
    return 0;
}

void CStep4::CollectCheckedPrinters() {
    checkedPrinters.clear();
    for (int i = 0; i < m_printerList.GetCount(); ++i) {
        if (m_printerList.GetCheck(i) != 1)
            continue;
        CString text;
        m_printerList.GetText(i, text);
        checkedPrinters.push_back(text);
    }
}
