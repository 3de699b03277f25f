#include "app/step3.h"

#include <cwchar>

#include "app/process_objects.h"
#include "app/resource.h"
#include "framework/property_sheet.h"

namespace {

constexpr wchar_t kPrompt[] = L"请选择要安装的打印机驱动：";
constexpr wchar_t kQuestion[] =
    L"\n检测到您所使用的打印机驱动程序不在本安装程序内！\n单击确定选用其它驱动安装，单击取消退出安"
    L"装程序！";
constexpr wchar_t kQuestionCaption[] = L"欢迎使用Korvel打印机";
constexpr wchar_t kSeries[] = L"RV系列";
constexpr uint32_t kLookupWidth = 260;

}  // namespace

CStep3::CStep3() : CPropertyPage(IDD_STEP3) {
    BindBanner(IDB_BANNER, IDB_BANNER_2X, {BANNER_WIDTH_DLU, BANNER_HEIGHT_DLU});
    BindText(IDC_STEP3_PROMPT, m_promptText);
    BindListBox(IDC_STEP3_DRIVERS, m_driverList);
}

BOOL CStep3::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_modelSupported = 0;
    return TRUE;
}

BOOL CStep3::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    int answer = 0;
    CString model;
    const int32_t found = theSetup.DetectUsbPrinterModel(model);
    m_modelSupported = theSetup.IsSupportedModel(model.c_str());
    // A connected printer whose model this setup does not carry (an empty model included).
    if (m_modelSupported == 0 && found != 0) {
        answer = MessageBox(kQuestion, kQuestionCaption, MB_OKCANCEL);
    }
    if (answer == IDCANCEL) {
        GetSheet()->EndDialog(GetSheet()->GetPageIndex(this));
        return CPropertyPage::OnSetActive();
    }
    m_promptText = kPrompt;
    FillDriverList();
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

void CStep3::FillDriverList() {
    for (int i = m_driverList.GetCount() - 1; i >= 0; --i)
        m_driverList.DeleteString(i);
    CString model;
    const int32_t found = theSetup.DetectUsbPrinterModel(model);
    if (m_modelSupported != 0 && found != 0) {
        m_driverList.AddString(model.c_str());
        m_driverList.SetCurSel(0);
    } else {
        StringList models;
        theSetup.ListSeriesModels(kSeries, models);
        for (const std::wstring& name : models)
            m_driverList.AddString(name.c_str());
        m_driverList.SetCurSel(0);
    }
    UpdateData(FALSE);
}

LRESULT CStep3::OnWizardNext() {
    UpdateData(TRUE);
    wchar_t printerName[kLookupWidth] = {};
    const int selected = m_driverList.GetCurSel();
    if (selected != LB_ERR) {
        CString model;
        m_driverList.GetText(selected, model);
        if (!model.empty()) {
            theSetup.LookUpPrinterName(model.c_str(), printerName, kLookupWidth);
            // A name too long for the record would be stored cut, and a cut name is another
            // printer's queue: it counts as not found.
            if (std::wcslen(printerName) >= SetupContext::kNameWidth)
                printerName[0] = L'\0';
            theSetup.SetPrinterName(printerName);
        }
    }
    return 0;
}

LRESULT CStep3::OnWizardBack() {
    return 0;
}
