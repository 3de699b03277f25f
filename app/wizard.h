#pragma once

#include "framework/property_sheet.h"

// The wizard sheet: a property sheet in wizard mode without a Help button.
class CWizard : public CPropertySheet {
  public:
    CWizard(const wchar_t* caption, HWND parent, UINT selectPage)
        : CPropertySheet(caption, parent, selectPage) {}

    BOOL OnInitDialog() override;
};
