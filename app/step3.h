#pragma once

#include "framework/list_box.h"
#include "framework/property_page.h"

// The driver page: the detected model, or the models of the series, to choose from.
class CStep3 : public CPropertyPage {
  public:
    CStep3();

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

    void FillDriverList();

    CString m_promptText;
    CListBox m_driverList;
    int32_t m_modelSupported = 0;
};
