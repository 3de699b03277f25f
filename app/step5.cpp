#include "app/step5.h"

#include <cstdio>
#include <cwchar>
#include <exception>
#include <memory>

#include "app/process_objects.h"
#include "app/resource.h"
#include "framework/property_sheet.h"
#include "platform/clock_service.h"
#include "platform/device_tree_service.h"
#include "platform/log_sink.h"
#include "platform/services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

namespace {

constexpr wchar_t kDriverLabel[] = L"驱动：";
constexpr wchar_t kPortLabel[] = L"端口：";
constexpr wchar_t kStatusLabel[] = L"状态：";
constexpr wchar_t kIntro[] =
    L"单击完成按扭后，本向导会按照前面几个步骤的设置，自动完成打印机驱动的安装。";
constexpr wchar_t kRemoving[] = L"正在删除所要替换的驱动...";
constexpr wchar_t kInstalling[] = L"正在安装打印机驱动...";
constexpr wchar_t kInstalled[] = L"打印机驱动已成功安装！";
constexpr wchar_t kFailed[] = L"打印机驱动安装失败！";
constexpr wchar_t kSucceededBox[] = L"打印机驱动安装成功！";
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 200;
constexpr uint32_t kShowSuccessMs = 100;
// How long Finish waits for another setup run (the console program's, say) to end before it
// reports the failure.
constexpr uint32_t kLockWaitMs = 3000;

std::wstring Hex(uint32_t value) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%x", value);
    return text;
}

// The whole chosen printer name: a cut name could make the removal delete queues of another
// printer, and would show another printer in the summary.
CString ChosenPrinter() {
    wchar_t name[SetupContext::kNameWidth] = {};
    theSetup.GetPrinterName(name, SetupContext::kNameWidth);
    return name;
}

CString ChosenPort() {
    wchar_t name[SetupContext::kNameWidth] = {};
    theSetup.GetPortName(name, SetupContext::kNameWidth);
    return name;
}

}  // namespace

CStep5::CStep5() : CPropertyPage(IDD_STEP5) {
    BindBanner(IDB_BANNER, IDB_BANNER_2X, {BANNER_WIDTH_DLU, BANNER_HEIGHT_DLU});
    BindText(IDC_STEP5_INTRO, m_introText);
    BindText(IDC_STEP5_DRIVER, m_driverLine);
    BindText(IDC_STEP5_PORT, m_portLine);
    BindText(IDC_STEP5_STATUS_LABEL, m_statusLabel);
    BindText(IDC_STEP5_STATUS, m_statusText);
}

BOOL CStep5::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    return TRUE;
}

BOOL CStep5::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    m_driverLine = kDriverLabel + ChosenPrinter();
    m_portLine = kPortLabel + ChosenPort();
    m_introText = kIntro;
    m_statusLabel = kStatusLabel;
    m_statusText.clear();
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

LRESULT CStep5::OnWizardBack() {
    return 0;
}

void CStep5::ShowStatus(const wchar_t* text) {
    m_statusText = text;
    SendMessageW(m_hWnd, WM_INSTALL_STATUS, 0, 0);
}

BOOL CStep5::OnWizardFinish() {
    // The Finish button is disabled while a run is under way, but a PSM_PRESSBUTTON could still
    // reach the page; a second run beside the first is never started.
    if (m_run)
        return FALSE;
    EnableNavigation(FALSE);
    theSetup.SetMakeDefault(1);
    theSetup.SetPrintTestPage(0);
    m_run = std::make_unique<CSetupRun>(theSetup, L"PavonisSetup", kLockWaitMs);
    if (!m_run->Begin()) {
        ShowStatus(kFailed);
        ShowResult(-1);
        return FALSE;
    }
    // The poll timer comes first: without it nobody would ever see the result, and the wizard
    // would stay locked for good. Without it nothing is started at all.
    m_timerId = SetTimer(kPollTimer, kPollMs);
    if (m_timerId == 0) {
        RecordWin32Failure(L"SetTimer", GetLastError());
        LogFailure(L"Nothing was installed");
        ShowStatus(kFailed);
        ShowResult(-1);
        return FALSE;
    }
    if (m_run->CheckExisting()) {
        RunRemoval();
        if (m_run->CheckClosed())
            RescanDevices();
    }
    StartInstallation();
    return FALSE;
}

void CStep5::RunRemoval() {
    // The GUI thread waits for the whole removal: nothing else may change the spooler then.
    UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done)
        RecordWin32Failure(L"CreateEventW", GetLastError());
    ShowStatus(kRemoving);
    if (!done) {
        LogFailure(L"Nothing was removed");
        return;
    }
    RemovalJob job{done.get(), m_run.get()};
    UniqueHandle worker(CreateThread(nullptr, 0, &RemovalThreadProc, &job, 0, nullptr));
    // Without a worker nothing would ever set the event.
    if (!worker) {
        RecordWin32Failure(L"CreateThread", GetLastError());
        LogFailure(L"Nothing was removed");
        return;
    }
    WaitForSingleObject(done.get(), INFINITE);
    ResetEvent(done.get());
}

void CStep5::StartInstallation() {
    // The page keeps no handle of the installation worker; its result comes through
    // m_installResult, which the poll timer reads.
    UniqueHandle installer(CreateThread(nullptr, 0, &InstallThreadProc, this, 0, nullptr));
    if (installer)
        return;
    RecordWin32Failure(L"CreateThread", GetLastError());
    LogFailure(L"Nothing was installed");
    // Queues the removal deleted must come back all the same.
    m_run->Restore();
    ShowStatus(kFailed);
    m_installResult = -1;
}

DWORD WINAPI CStep5::RemovalThreadProc(LPVOID parameter) {
    const auto* job = static_cast<const RemovalJob*>(parameter);
    // An exception must not end the process between a deletion and its restore: the run is
    // failed instead, so that nothing is installed and what is gone comes back.
    try {
        job->run->Remove();
    } catch (const std::exception&) {
        job->run->FailUnexpectedly();
    }
    SetEvent(job->done);
    return 0;
}

DWORD WINAPI CStep5::InstallThreadProc(LPVOID parameter) {
    auto* page = static_cast<CStep5*>(parameter);
    CSetupRun& run = *page->m_run;
    page->ShowStatus(kInstalling);
    int32_t installed = 0;
    try {
        installed = run.Install();
    } catch (const std::exception&) {
        run.FailUnexpectedly();
    }
    if (installed != 0) {
        run.ApplyOptions();
        page->ShowStatus(kInstalled);
        // The success text stays a moment before the message box covers it.
        if (IClockService* clock = Services().clock)
            clock->Sleep(kShowSuccessMs);
        page->m_installResult = 1;
        return 0;
    }
    try {
        run.Restore();
    } catch (const std::exception&) {
        run.FailUnexpectedly();  // what is still gone is the next run's to repair
    }
    page->ShowStatus(kFailed);
    page->m_installResult = -1;
    return 1;
}

bool CStep5::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_INSTALL_STATUS) {
        UpdateData(FALSE);
        result = 1;
        return true;
    }
    if (message == WM_TIMER)
        OnResultPoll(wParam);
    return false;  // the timer goes on to the default handling
}

void CStep5::OnResultPoll(UINT_PTR timerId) {
    if (timerId != m_timerId || m_installResult == 0)
        return;
    KillTimer(m_timerId);
    const int32_t result = m_installResult;
    m_installResult = 0;
    ShowResult(result);
}

void CStep5::ShowResult(int32_t result) {
    m_run->End(result == 1 ? 1 : 0);
    m_run.reset();
    if (result == -1)
        MessageBox(kFailed, L"ERROR", MB_OK | MB_ICONHAND);
    if (result == 1) {
        MessageBox(kSucceededBox, L"OK", MB_OK | MB_ICONINFORMATION);
        GetSheet()->EndDialog(IDCANCEL);
    }
    EnableNavigation(TRUE);
}

void CStep5::EnableNavigation(BOOL enable) {
    CPropertySheet* sheet = GetSheet();
    sheet->SetWizardButtons(enable ? (PSWIZB_BACK | PSWIZB_FINISH) : PSWIZB_DISABLEDFINISH);
    if (HWND cancel = ::GetDlgItem(sheet->GetSafeHwnd(), IDCANCEL))
        EnableWindow(cancel, enable);
    // The worker writes into this page up to its last action, so nothing may close the wizard or
    // leave the page while it runs.
    sheet->BlockNavigation(!enable);
}

int CStep5::RescanDevices() {
    IDeviceTreeService* tree = Services().deviceTree;
    if (tree == nullptr)
        return 0;
    // The lines go to standard output, which a windowed program has not, and to the setup log.
    uint32_t root = 0;
    uint32_t result = tree->LocateRoot(root);
    if (result != 0) {
        std::printf("CM_Locate_DevNode failed: %x\n", result);
        LogLine(LogLevel::kWarning, L"CM_Locate_DevNode failed: " + Hex(result));
        return 0;
    }
    result = tree->Reenumerate(root);
    if (result != 0) {
        std::printf("CM_Reenumerate_DevNode failed: %x\n", result);
        LogLine(LogLevel::kWarning, L"CM_Reenumerate_DevNode failed: " + Hex(result));
        return 0;
    }
    return 1;
}
