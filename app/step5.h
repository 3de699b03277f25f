#pragma once

#include <atomic>
#include <cstdint>

#include "framework/property_page.h"

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
    static DWORD WINAPI RemovalThreadProc(LPVOID event);
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
    void OnResultPoll(UINT_PTR timerId);
    void ShowStatus(const wchar_t* text);
};
