#pragma once

#include "detect/usb_port.h"
#include "framework/list_box.h"
#include "framework/property_page.h"

// The port page: the detected USB port, or the spooler's ports to choose from.
class CStep2 : public CPropertyPage {
  public:
    CStep2();

    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

    void FillPortList();

    CString m_infoText;
    CListBox m_portList;
    CUSBPort m_usbPort;
    CString m_portName;
    int32_t m_usbDetected = 0;
};
