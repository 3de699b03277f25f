#include "app/pavonis_app.h"

#include <commctrl.h>

#include <memory>

#include "app/step1.h"
#include "app/step2.h"
#include "app/step3.h"
#include "app/step4.h"
#include "app/step5.h"
#include "app/wizard.h"

BOOL CPavonisApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    // The pages live exactly as long as the modal wizard; the options page is made but not shown.
    auto wizard = std::make_unique<CWizard>(L"Korvel Printer Driver Setup", nullptr, 0);
    auto step1 = std::make_unique<CStep1>();
    auto step2 = std::make_unique<CStep2>();
    auto step3 = std::make_unique<CStep3>();
    auto step4 = std::make_unique<CStep4>();
    auto step5 = std::make_unique<CStep5>();
    wizard->AddPage(step1.get());
    wizard->AddPage(step3.get());
    wizard->AddPage(step2.get());
    wizard->AddPage(step5.get());
    wizard->SetWizardMode();
    wizard->SetActivePage(step1.get());
    wizard->DoModal();

    step5.reset();
    step4.reset();
    step3.reset();
    step2.reset();
    step1.reset();
    wizard.reset();
    return FALSE;
}
