#include "app/step1.h"

#include "app/resource.h"
#include "framework/property_sheet.h"

namespace {

constexpr wchar_t kWelcome[] =
    L"欢迎使用Korvel打印机驱动安装向导。\n\n若已出现了“找到新硬件向导”窗口，请点击“找到新硬件向导”"
    L"窗口中的“取消”按钮来中断它。\n\n点击“下一步”按钮选择打印机驱动程序。";

}  // namespace

CStep1::CStep1() : CPropertyPage(IDD_STEP1) {
    BindBanner(IDB_BANNER, IDB_BANNER_2X, {BANNER_WIDTH_DLU, BANNER_HEIGHT_DLU});
    BindText(IDC_STEP1_WELCOME, m_welcomeText);
}

BOOL CStep1::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_welcomeText = kWelcome;
    UpdateData(FALSE);
    return TRUE;
}

BOOL CStep1::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

LRESULT CStep1::OnWizardNext() {
    return 0;
}
