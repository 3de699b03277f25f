#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "framework/property_page.h"
#include "install/run/setup_run.h"

// WM_USER + 100: the page's texts have changed and are to be shown.
constexpr UINT WM_INSTALL_STATUS = WM_USER + 100;

// The installation page: the summary, and on Finish the removal of the old queues, the
// installation on a worker thread, its progress and its result.
class CStep5 : public CPropertyPage {
  public:
    CStep5();

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    BOOL OnWizardFinish() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void EnableNavigation(BOOL enable);
    // Its parameter is a RemovalJob.
    static DWORD WINAPI RemovalThreadProc(LPVOID job);
    static DWORD WINAPI InstallThreadProc(LPVOID page);
    int RescanDevices();

    CString m_introText;
    CString m_driverLine;
    CString m_portLine;
    CString m_statusLabel;
    CString m_statusText;
    // Written once by the installation worker as its last action, read by the GUI thread.
    std::atomic<int32_t> m_installResult{0};
    UINT_PTR m_timerId = 0;

  private:
    // What the removal worker is given: the event it sets when done, and the run it removes for.
    struct RemovalJob {
        HANDLE done;
        CSetupRun* run;
    };

    void RunRemoval();
    void StartInstallation();
    void OnResultPoll(UINT_PTR timerId);
    // Ends the run with its result, tells the user, and gives the controls back.
    void ShowResult(int32_t result);
    void ShowStatus(const wchar_t* text);

    // The Finish under way, from Finish until its result has been shown.
    std::unique_ptr<CSetupRun> m_run;
};
