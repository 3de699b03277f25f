#pragma once

#include "framework/check_list_box.h"
#include "framework/property_page.h"

// The options page: default printer, test page, and the installed queues of the chosen printer.
// It is built with the others but not added to the wizard.
class CStep4 : public CPropertyPage {
  public:
    CStep4();

    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

    void FillPrinterList();
    void CollectCheckedPrinters();

    int m_makeDefaultChoice = 0;  // 0 yes, 1 no
    int m_testPageChoice = 1;     // 0 yes, 1 no
    CCheckListBox m_printerList;
    CString m_noteText;
};
