#include "app/step2.h"

#include "app/process_objects.h"
#include "app/resource.h"
#include "framework/property_sheet.h"

namespace {

constexpr wchar_t kUsbFound[] =
    L"软件自动检测到与打印机的USB连接\n端口：%s\n\n请按“下一步”确认驱动安装信息。\n\n";
constexpr wchar_t kNoUsb[] =
    L"没有检测到与打印机连接的可用USB口，请手动选择端口，并按“下一步”确认驱动安装信息。";
constexpr const wchar_t* kFixedPorts[] = {L"LPT1:", L"LPT2:", L"LPT3:", L"COM1:", L"COM2:",
                                          L"COM3:", L"COM4:", L"COM5:", L"USB001"};
constexpr wchar_t kPreferredPort[] = L"LPT1:";

// The USB text with the port put in for its placeholder; the port is inserted as text, never
// read as a format.
CString UsbFoundText(const CString& port) {
    CString text = kUsbFound;
    text.replace(text.find(L"%s"), 2, port);
    return text;
}

}  // namespace

CStep2::CStep2() : CPropertyPage(IDD_STEP2) {
    BindBanner(IDB_BANNER, IDB_BANNER_2X, {BANNER_WIDTH_DLU, BANNER_HEIGHT_DLU});
    BindText(IDC_STEP2_INFO, m_infoText);
    BindListBox(IDC_STEP2_PORTS, m_portList);
}

BOOL CStep2::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    if (m_usbPort.FindPortName(m_portName) == 1) {
        m_infoText = UsbFoundText(m_portName);
        m_usbDetected = 1;
        m_portList.ShowWindow(SW_HIDE);
    } else {
        m_infoText = kNoUsb;
        m_usbDetected = 0;
        m_portList.ShowWindow(SW_SHOW);
        FillPortList();
    }
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

void CStep2::FillPortList() {
    for (int i = m_portList.GetCount() - 1; i >= 0; --i)
        m_portList.DeleteString(i);
    StringList ports;
    if (theSetup.ListPorts(ports) != 0) {
        for (const std::wstring& port : ports)
            m_portList.AddString(port.c_str());
    } else {
        for (const wchar_t* port : kFixedPorts)
            m_portList.AddString(port);
    }
    if (m_portList.SelectString(-1, kPreferredPort) == LB_ERR)
        m_portList.SetCurSel(0);
    UpdateData(FALSE);
}

LRESULT CStep2::OnWizardNext() {
    UpdateData(TRUE);
    if (m_usbDetected == 1) {
        theSetup.SetPortName(m_portName.c_str());
    } else {
        const int selected = m_portList.GetCurSel();
        if (selected != LB_ERR) {
            m_portList.GetText(selected, m_portName);
            theSetup.SetPortName(m_portName.c_str());
        }
    }
    return 0;
}

LRESULT CStep2::OnWizardBack() {
    return 0;
}
