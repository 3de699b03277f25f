#pragma once

#include "framework/property_page.h"

// The welcome page.
class CStep1 : public CPropertyPage {
  public:
    CStep1();

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

    CString m_welcomeText;
};
