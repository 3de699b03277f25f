#include <gtest/gtest.h>

#include <windows.h>
#include <prsht.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "app/process_objects.h"
#include "app/resource.h"
#include "app/step1.h"
#include "app/step2.h"
#include "app/step3.h"
#include "app/step4.h"
#include "app/step5.h"
#include "app/wizard.h"
#include "framework/banner.h"
#include "platform/services.h"
#include "tests/fakes/fake_machine.h"
#include "tests/gui/wizard_driver.h"
#include "tests/support/test_files.h"

// The process-wide objects of the program, here for the pages under test.
SetupContext theSetup;
StringList checkedPrinters;

namespace {

namespace wd = WizardDriver;

constexpr DWORD kWait = 10000;
constexpr wchar_t kWelcome[] =
    L"欢迎使用Korvel打印机驱动安装向导。\n\n若已出现了“找到新硬件向导”窗口，请点击“找到新硬件向导”"
    L"窗口中的“取消”按钮来中断它。\n\n点击“下一步”按钮选择打印机驱动程序。";
const std::vector<std::wstring> kSeries = {L"RV-1800K", L"RV-2400K", L"RV-630K", L"RV-90",
                                           L"RV-95"};
// What each message box of the pages shows: caption, text, icon and buttons.
const std::wstring kQuestionBox = wd::MessageLook(
    L"欢迎使用Korvel打印机",
    L"\n检测到您所使用的打印机驱动程序不在本安装程序内！\n单击确定选用其它驱动安装，单击取消退出安"
    L"装程序！",
    MB_OKCANCEL);
const std::wstring kSucceededBox =
    wd::MessageLook(L"OK", L"打印机驱动安装成功！", MB_OK | MB_ICONINFORMATION);
const std::wstring kFailedBox =
    wd::MessageLook(L"ERROR", L"打印机驱动安装失败！", MB_OK | MB_ICONHAND);

// The real sheet and pages on fake services, on the sample setup folder. A script drives the
// wizard from a second thread while this one runs it, as the program does, modally.
class WizardPagesTest : public ::testing::Test, protected CFakeMachine {
  protected:
    WizardPagesTest() {
        programPath.path = SourcePath("sample-setup/PavonisSetup.exe");
        theSetup.Init();
        checkedPrinters.clear();
        // The printer UI carries out what it is told, unless a test makes its installs fail.
        launcher.onRun = [this](const std::wstring& command) {
            if (installSucceeds || command.find(L" /if ") == std::wstring::npos)
                CarryOutPrintUi(spooler, command);
        };
    }

    // A supported printer on USB reporting `model`, on spooler port `port`.
    void ConnectPrinter(const std::string& model, uint32_t port) {
        usb.interfaces = {
            {L"\\\\?\\usb#vid_fff0&pid_0001#s1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", false,
             false, CFakeUsbPrinterService::DeviceIdReply("MDL:" + model + ";")}};
        registry.classKey.subkeys.clear();
        registry.AddEntry(L"##?#USB#VID_FFF0&PID_0001#S1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                          L"USB\\VID_FFF0&PID_0001\\S1", CFakeInterfaceRegistryService::Dword(1),
                          CFakeInterfaceRegistryService::Dword(port));
    }

    // Runs the wizard as the application builds it (with the options page added before the
    // installation page when `withOptions`), while `script` drives it. Returns the sheet's result.
    INT_PTR Run(const std::function<void(HWND sheet)>& script, bool withOptions = false) {
        CWizard wizard(L"Korvel Printer Driver Setup", nullptr, 0);
        CStep1 step1;
        CStep2 step2;
        CStep3 step3;
        CStep4 step4;
        CStep5 step5;
        wizard.AddPage(&step1);
        wizard.AddPage(&step3);
        wizard.AddPage(&step2);
        if (withOptions)
            wizard.AddPage(&step4);
        wizard.AddPage(&step5);
        wizard.SetWizardMode();
        wizard.SetActivePage(&step1);
        options = &step4;

        std::thread driver([&] {
            HWND sheet = wd::FindSheet(kWait, GetCurrentProcessId());
            if (sheet == nullptr) {
                ADD_FAILURE() << "no wizard appeared: is there a display?";
                return;
            }
            script(sheet);
            // Whatever the script left, the wizard must not outlive the test.
            if (IsWindow(sheet))
                wd::Press(sheet, PSBTN_CANCEL);
        });
        const INT_PTR result = wizard.DoModal();
        driver.join();
        options = nullptr;
        return result;
    }

    // Walks from the welcome page to the installation page with the default choices.
    static void WalkToInstallPage(HWND sheet) {
        for (int page = 0; page < 3; ++page) {
            ASSERT_TRUE(wd::WaitForPage(sheet, page, kWait));
            wd::Press(sheet, PSBTN_NEXT);
        }
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
    }

    void TearDown() override { EXPECT_TRUE(AllReleased()); }

    CScopedServices services{Set()};
    bool installSucceeds = true;
    CStep4* options = nullptr;
};

TEST_F(WizardPagesTest, PagesFollowInOrderWithTheirButtons) {
    const INT_PTR result = Run([](HWND sheet) {
        ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
        HWND page = wd::CurrentPage(sheet);
        EXPECT_EQ(wd::Text(page, IDC_STEP1_WELCOME), kWelcome);
        EXPECT_TRUE(wd::IsButtonEnabled(sheet, wd::kNextButton));
        EXPECT_FALSE(wd::IsButtonEnabled(sheet, wd::kBackButton));
        EXPECT_FALSE(wd::IsButtonVisible(sheet, IDHELP));

        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 1, kWait));
        page = wd::CurrentPage(sheet);
        EXPECT_EQ(wd::Text(page, IDC_STEP3_PROMPT), L"请选择要安装的打印机驱动：");
        EXPECT_EQ(wd::ListItems(page, IDC_STEP3_DRIVERS), kSeries);
        EXPECT_EQ(wd::ListSelection(page, IDC_STEP3_DRIVERS), 0);
        EXPECT_TRUE(wd::IsButtonEnabled(sheet, wd::kBackButton));
        wd::SelectListItem(page, IDC_STEP3_DRIVERS, 3);

        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
        page = wd::CurrentPage(sheet);
        EXPECT_EQ(wd::Text(page, IDC_STEP5_DRIVER), L"驱动：Korvel RV-90");
        EXPECT_EQ(wd::Text(page, IDC_STEP5_PORT), L"端口：LPT1:");
        EXPECT_EQ(wd::Text(page, IDC_STEP5_STATUS_LABEL), L"状态：");
        EXPECT_EQ(wd::Text(page, IDC_STEP5_STATUS), L"");
        EXPECT_TRUE(wd::IsButtonEnabled(sheet, wd::kFinishButton));

        wd::Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        wd::Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(wd::WaitForPage(sheet, 1, kWait));
        wd::Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
        EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP1_WELCOME), kWelcome);
        EXPECT_FALSE(wd::IsButtonEnabled(sheet, wd::kBackButton));
        wd::Press(sheet, PSBTN_CANCEL);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_STREQ(theSetup.printerName, L"Korvel RV-90");
    EXPECT_STREQ(theSetup.portName, L"LPT1:");
    EXPECT_TRUE(launcher.runs.empty());
}

TEST_F(WizardPagesTest, AConnectedListedPrinterIsOfferedAloneOnItsUsbPort) {
    ConnectPrinter("RV-95", 3);
    Run([](HWND sheet) {
        ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 1, kWait));
        HWND page = wd::CurrentPage(sheet);
        EXPECT_EQ(wd::ListItems(page, IDC_STEP3_DRIVERS), std::vector<std::wstring>{L"RV-95"});
        EXPECT_EQ(wd::ListSelection(page, IDC_STEP3_DRIVERS), 0);
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        page = wd::CurrentPage(sheet);
        EXPECT_EQ(
            wd::Text(page, IDC_STEP2_INFO),
            L"软件自动检测到与打印机的USB连接\n端口：USB003\n\n请按“下一步”确认驱动安装信息。\n\n");
        EXPECT_FALSE(wd::IsVisible(page, IDC_STEP2_PORTS));
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
        wd::Press(sheet, PSBTN_CANCEL);
    });
    EXPECT_STREQ(theSetup.printerName, L"Korvel RV-95");
    EXPECT_STREQ(theSetup.portName, L"USB003");
}

TEST_F(WizardPagesTest, AnUnlistedModelAsksFirstAndOkShowsTheSeries) {
    for (const char* model : {"RV-9999", ""}) {
        ConnectPrinter(model, 1);
        Run([](HWND sheet) {
            ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
            wd::Press(sheet, PSBTN_NEXT);
            HWND box = wd::FindMessageBox(L"欢迎使用Korvel打印机", kWait, GetCurrentProcessId());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(wd::MessageLook(box), kQuestionBox);
            wd::Answer(box, IDOK);
            ASSERT_TRUE(wd::WaitForPage(sheet, 1, kWait));
            EXPECT_EQ(wd::ListItems(wd::CurrentPage(sheet), IDC_STEP3_DRIVERS), kSeries);
            wd::Press(sheet, PSBTN_CANCEL);
        });
    }
}

TEST_F(WizardPagesTest, CancellingTheQuestionEndsTheWizardWithNothingStored) {
    ConnectPrinter("RV-9999", 1);
    const INT_PTR result = Run([](HWND sheet) {
        ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
        wd::Press(sheet, PSBTN_NEXT);
        HWND box = wd::FindMessageBox(L"欢迎使用Korvel打印机", kWait, GetCurrentProcessId());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(wd::MessageLook(box), kQuestionBox);
        wd::Answer(box, IDCANCEL);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
    EXPECT_EQ(result, 1);  // the driver page's index
    EXPECT_STREQ(theSetup.printerName, L"");
}

TEST_F(WizardPagesTest, ThePortListComesFromTheSpoolerOrTheFixedNames) {
    const struct {
        StringList ports;
        bool fail;
        std::vector<std::wstring> shown;
        int selected;
    } cases[] = {
        {{L"COM1:", L"FILE:", L"lpt1:", L"LPT1: (old)"},
         false,
         {L"COM1:", L"FILE:", L"lpt1:", L"LPT1: (old)"},
         2},
        {{L"COM1:", L"FILE:"}, false, {L"COM1:", L"FILE:"}, 0},
        {{},
         true,
         {L"LPT1:", L"LPT2:", L"LPT3:", L"COM1:", L"COM2:", L"COM3:", L"COM4:", L"COM5:",
          L"USB001"},
         0},
    };
    for (const auto& c : cases) {
        spooler.ports = c.ports;
        spooler.failPorts = c.fail;
        Run([&](HWND sheet) {
            ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
            wd::Press(sheet, PSBTN_NEXT);
            ASSERT_TRUE(wd::WaitForPage(sheet, 1, kWait));
            wd::Press(sheet, PSBTN_NEXT);
            ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
            HWND page = wd::CurrentPage(sheet);
            EXPECT_EQ(wd::Text(page, IDC_STEP2_INFO),
                      L"没有检测到与打印机连接的可用USB口，请手动选择端口，并按“下一步”确认驱动安装"
                      L"信息。");
            EXPECT_TRUE(wd::IsVisible(page, IDC_STEP2_PORTS));
            EXPECT_EQ(wd::ListItems(page, IDC_STEP2_PORTS), c.shown);
            EXPECT_EQ(wd::ListSelection(page, IDC_STEP2_PORTS), c.selected);
            wd::Press(sheet, PSBTN_NEXT);
            ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
            wd::Press(sheet, PSBTN_CANCEL);
        });
        EXPECT_EQ(std::wstring(theSetup.portName), c.shown[c.selected]);
    }
}

TEST_F(WizardPagesTest, GoingBackAfterUnpluggingShowsThePortList) {
    ConnectPrinter("RV-90", 2);
    Run([this](HWND sheet) {
        WalkToInstallPage(sheet);
        usb.interfaces.clear();
        wd::Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        HWND page = wd::CurrentPage(sheet);
        EXPECT_TRUE(wd::IsVisible(page, IDC_STEP2_PORTS));
        EXPECT_EQ(wd::ListItems(page, IDC_STEP2_PORTS),
                  (std::vector<std::wstring>{L"LPT1:", L"COM1:", L"USB001"}));
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
        EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP5_PORT), L"端口：LPT1:");
        wd::Press(sheet, PSBTN_CANCEL);
    });
}

TEST_F(WizardPagesTest, FinishInstallsMakesTheDefaultAndCloses) {
    const INT_PTR result = Run([](HWND sheet) {
        WalkToInstallPage(sheet);
        wd::Press(sheet, PSBTN_FINISH);
        HWND box = wd::FindMessageBox(L"OK", kWait, GetCurrentProcessId());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(wd::MessageLook(box), kSucceededBox);
        EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP5_STATUS), L"打印机驱动已成功安装！");
        wd::Answer(box, IDOK);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(launcher.runs.size(), 2u);
    EXPECT_NE(launcher.runs[0].parameters.find(L"/if /n \"Korvel RV-1800K\""), std::wstring::npos);
    EXPECT_EQ(launcher.runs[1].parameters,
              L"PRINTUI.DLL,PrintUIEntry /y /q /n \"Korvel RV-1800K\"");
    EXPECT_EQ(theSetup.makeDefault, 1);
    EXPECT_EQ(theSetup.printTestPage, 0);
    EXPECT_EQ(deviceTree.rescans, 0);  // no queue to remove, so no rescan
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{500, 100}));
}

TEST_F(WizardPagesTest, FinishRemovesTheQueuesOfTheNameFirst) {
    spooler.AddQueue(L"Korvel RV-1800K", L"Korvel RV-1800K");
    spooler.AddQueue(L"Korvel RV-1800K (Copy 1)", L"Korvel RV-1800K");
    spooler.AddQueue(L"Korvel RV-1800KX", L"Other");
    // The status shown as each old queue goes, read on the removal worker while the page's thread
    // waits for it, so without a message to the page.
    std::atomic<HWND> installPage{nullptr};
    std::vector<std::wstring> statusWhileDeleting;
    spooler.onCall = [&](const std::wstring& call) {
        if (call == L"delete")
            statusWhileDeleting.push_back(wd::StoredText(installPage, IDC_STEP5_STATUS));
    };
    Run([&](HWND sheet) {
        WalkToInstallPage(sheet);
        installPage = wd::CurrentPage(sheet);
        wd::Press(sheet, PSBTN_FINISH);
        HWND box = wd::FindMessageBox(L"OK", kWait, GetCurrentProcessId());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(wd::MessageLook(box), kSucceededBox);
        wd::Answer(box, IDOK);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
    EXPECT_FALSE(spooler.HasQueue(L"Korvel RV-1800K (Copy 1)"));
    EXPECT_TRUE(spooler.HasQueue(L"Korvel RV-1800KX"));
    EXPECT_TRUE(spooler.HasQueue(L"Korvel RV-1800K"));  // installed anew
    EXPECT_EQ(deviceTree.rescans, 1);
    EXPECT_EQ(statusWhileDeleting, std::vector<std::wstring>(2, L"正在删除所要替换的驱动..."));
    // The existence check lets its handle go before the removal: while one is open, the spooler
    // only marks the queue for deletion, and its driver stays in use.
    ASSERT_GE(spooler.calls.size(), 2u);
    EXPECT_EQ(spooler.calls[0], L"open Korvel RV-1800K");
    EXPECT_EQ(spooler.calls[1], L"close");
}

TEST_F(WizardPagesTest, AFailureIsShownAndFinishCanBePressedAgain) {
    installSucceeds = false;
    Run([](HWND sheet) {
        WalkToInstallPage(sheet);
        for (int attempt = 0; attempt < 2; ++attempt) {
            wd::Press(sheet, PSBTN_FINISH);
            HWND box = wd::FindMessageBox(L"ERROR", kWait, GetCurrentProcessId());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(wd::MessageLook(box), kFailedBox);
            wd::Answer(box, IDOK);
            ASSERT_TRUE(wd::WaitForClose(box, kWait));
            EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP5_STATUS), L"打印机驱动安装失败！");
            EXPECT_TRUE(wd::IsButtonEnabled(sheet, wd::kBackButton));
            EXPECT_TRUE(wd::IsButtonEnabled(sheet, wd::kFinishButton));
            EXPECT_TRUE(wd::IsButtonEnabled(sheet, IDCANCEL));
        }
        wd::Press(sheet, PSBTN_BACK);
        EXPECT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        wd::Press(sheet, PSBTN_CANCEL);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
    EXPECT_EQ(launcher.runs.size(), 2u);  // two install commands, no default command
}

TEST_F(WizardPagesTest, NothingClosesTheWizardWhileTheInstallationRuns) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    launcher.onRun = [this, released](const std::wstring& command) {
        released.wait();
        CarryOutPrintUi(spooler, command);
    };
    Run([&](HWND sheet) {
        WalkToInstallPage(sheet);
        wd::Press(sheet, PSBTN_FINISH);
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
        Sleep(300);
        EXPECT_FALSE(wd::IsButtonEnabled(sheet, IDCANCEL));
        EXPECT_FALSE(wd::IsButtonEnabled(sheet, wd::kBackButton));
        EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP5_STATUS), L"正在安装打印机驱动...");
        PostMessageW(sheet, WM_CLOSE, 0, 0);
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
        wd::Press(sheet, PSBTN_CANCEL);
        // Nor does anything leave the page or start a second run beside the first.
        wd::Press(sheet, PSBTN_BACK);
        wd::Press(sheet, PSBTN_FINISH);
        PostMessageW(sheet, WM_COMMAND, wd::kFinishButton, 0);
        Sleep(300);
        EXPECT_TRUE(IsWindow(sheet));
        EXPECT_EQ(wd::CurrentPageIndex(sheet), 3);
        EXPECT_EQ(launcher.runs.size(), 1u);
        release.set_value();
        HWND box = wd::FindMessageBox(L"OK", kWait, GetCurrentProcessId());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(wd::MessageLook(box), kSucceededBox);
        wd::Answer(box, IDOK);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
}

TEST_F(WizardPagesTest, LongPrinterNamesAreUsedWholeOrNotAtAll) {
    // A name of 150 characters fits the record but not the 100-character buffers the summary and
    // the removal once used; one of 210 does not fit the record at all.
    const std::string name150 = "Korvel " + std::string(143, 'L');
    const std::string name210 = "Korvel " + std::string(203, 'X');
    CTempFolder folder;
    folder.Write("PrinterInfor.Inf", Utf16LeFile("[RV系列]\nLONG-150\nLONG-210\n[PRINTER_NAME]\n"
                                                 "LONG-150=" +
                                                 name150 + "\nLONG-210=" + name210 +
                                                 "\n[PRINTER_TYPE]\n" + name150 + "=24\n"));
    programPath.path = folder.WindowsPath() + L"PavonisSetup.exe";
    theSetup.Init();
    const std::wstring wide150(name150.begin(), name150.end());
    spooler.AddQueue(wide150, wide150);
    spooler.AddQueue(wide150 + L" (Copy 1)", wide150);

    Run([&](HWND sheet) {
        WalkToInstallPage(sheet);
        EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP5_DRIVER), L"驱动：" + wide150);
        wd::Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        wd::Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(wd::WaitForPage(sheet, 1, kWait));
        wd::SelectListItem(wd::CurrentPage(sheet), IDC_STEP3_DRIVERS, 1);
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
        EXPECT_EQ(wd::Text(wd::CurrentPage(sheet), IDC_STEP5_DRIVER), L"驱动：");
        EXPECT_STREQ(theSetup.printerName, L"");

        // Back to the 150-character name, and install it over its old copy.
        for (int page : {2, 1}) {
            wd::Press(sheet, PSBTN_BACK);
            ASSERT_TRUE(wd::WaitForPage(sheet, page, kWait));
        }
        wd::SelectListItem(wd::CurrentPage(sheet), IDC_STEP3_DRIVERS, 0);
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 2, kWait));
        wd::Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
        wd::Press(sheet, PSBTN_FINISH);
        HWND box = wd::FindMessageBox(L"OK", kWait, GetCurrentProcessId());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(wd::MessageLook(box), kSucceededBox);
        wd::Answer(box, IDOK);
        EXPECT_TRUE(wd::WaitForClose(sheet, kWait));
    });
    // The removal looked for copies of the whole name, so the old copy is gone.
    EXPECT_FALSE(spooler.HasQueue(wide150 + L" (Copy 1)"));
    EXPECT_TRUE(spooler.HasQueue(wide150));
}

TEST_F(WizardPagesTest, FinishThatCannotBeginFailsWithNothingTouched) {
    spooler.AddQueue(L"Korvel RV-1800K", L"Korvel RV-1800K");
    // No printer name (a model without one in the setup data), or another setup run holding the
    // machine-wide lock.
    for (const bool emptyName : {true, false}) {
        setupLock.heldElsewhere = !emptyName;
        Run([this, emptyName](HWND sheet) {
            WalkToInstallPage(sheet);
            if (emptyName)
                theSetup.SetPrinterName(L"");
            wd::Press(sheet, PSBTN_FINISH);
            HWND box = wd::FindMessageBox(L"ERROR", kWait, GetCurrentProcessId());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(wd::MessageLook(box), kFailedBox);
            wd::Answer(box, IDOK);
            ASSERT_TRUE(wd::WaitForClose(box, kWait));
            wd::Press(sheet, PSBTN_CANCEL);
        });
        EXPECT_TRUE(spooler.calls.empty()) << emptyName;
        EXPECT_TRUE(launcher.runs.empty()) << emptyName;
    }
    EXPECT_TRUE(spooler.HasQueue(L"Korvel RV-1800K"));
}

TEST_F(WizardPagesTest, TheOptionsPageWorksWhenASheetAddsIt) {
    spooler.AddQueue(L"Korvel RV-1800K", L"Korvel RV-1800K");
    spooler.AddQueue(L"Korvel RV-1800K (Copy 1)", L"Korvel RV-1800K");
    Run(
        [this](HWND sheet) {
            for (int page = 0; page < 3; ++page) {
                ASSERT_TRUE(wd::WaitForPage(sheet, page, kWait));
                wd::Press(sheet, PSBTN_NEXT);
            }
            ASSERT_TRUE(wd::WaitForPage(sheet, 3, kWait));
            HWND page = wd::CurrentPage(sheet);
            EXPECT_EQ(wd::ListItems(page, IDC_STEP4_PRINTERS),
                      (std::vector<std::wstring>{L"Korvel RV-1800K", L"Korvel RV-1800K (Copy 1)"}));
            EXPECT_EQ(IsDlgButtonChecked(page, IDC_STEP4_DEFAULT_YES), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(page, IDC_STEP4_TESTPAGE_NO), BST_CHECKED);
            options->m_printerList.SetCheck(1, 1);  // the selected first item stays unchecked
            wd::Press(sheet, PSBTN_NEXT);
            ASSERT_TRUE(wd::WaitForPage(sheet, 4, kWait));
            wd::Press(sheet, PSBTN_CANCEL);
        },
        true);
    EXPECT_EQ(checkedPrinters, StringList{L"Korvel RV-1800K (Copy 1)"});
    EXPECT_EQ(theSetup.makeDefault, 1);
    EXPECT_EQ(theSetup.printTestPage, 0);
}

}  // namespace

namespace {

// The banner of each page, as the page shows it: the picture control's size, and its bitmap's
// size and pixels.
struct ShownBanner {
    SIZE control{};
    SIZE bitmap{};
    std::vector<RGBQUAD> pixels;  // top-down rows

    COLORREF At(int x, int y) const {
        const RGBQUAD& p = pixels.at(static_cast<size_t>(y * bitmap.cx + x));
        return RGB(p.rgbRed, p.rgbGreen, p.rgbBlue);
    }
};

ShownBanner ReadBanner(HWND page) {
    ShownBanner shown;
    HWND control = FindWindowExW(page, nullptr, L"Static", nullptr);
    while (control != nullptr && (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
        control = FindWindowExW(page, control, L"Static", nullptr);
    if (control == nullptr)
        return shown;
    RECT rect{};
    GetClientRect(control, &rect);
    shown.control = {rect.right, rect.bottom};
    auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0)
        return shown;
    shown.bitmap = {info.bmWidth, info.bmHeight};
    BITMAPINFO format{};
    format.bmiHeader = {
        sizeof(format.bmiHeader), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    shown.pixels.resize(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), shown.pixels.data(), &format,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return shown;
}

// The page's banner fills `area` with the drawing scaled to cover it, proportions kept: the
// printer's green light, at (304, 454) of the drawing's 456 x 624, is where that scaling puts it,
// which a banner shown at its own size, cut to the area or squeezed into it has elsewhere.
void ExpectBannerFills(HWND page, SIZE area, const char* where) {
    SCOPED_TRACE(where);
    const ShownBanner shown = ReadBanner(page);
    EXPECT_EQ(shown.control.cx, area.cx);
    EXPECT_EQ(shown.control.cy, area.cy);
    ASSERT_EQ(shown.bitmap.cx, area.cx);
    ASSERT_EQ(shown.bitmap.cy, area.cy);
    const double scale = std::max(area.cx / 456.0, area.cy / 624.0);
    const double left = (456 * scale - area.cx) / 2;
    for (const auto& [x, y] : {std::pair{304, 454}, std::pair{302, 452}, std::pair{306, 456}}) {
        const COLORREF light =
            shown.At(static_cast<int>(x * scale - left), static_cast<int>(y * scale));
        EXPECT_GT(GetGValue(light), 180) << std::hex << light << " at " << x << ", " << y;
        EXPECT_LT(GetRValue(light), 120) << std::hex << light << " at " << x << ", " << y;
    }
}

// The DPI of this run's Wine prefix (scripts/wine-run.sh --dpi); tests/gui/CMakeLists.txt runs
// the banner tests at each DPI the wizard is made for.
UINT ExpectedDpi() {
    const char* dpi = std::getenv("KORVEL_EXPECTED_DPI");
    return dpi != nullptr ? static_cast<UINT>(std::atoi(dpi)) : 96;
}

// The banner's area on a page: the template's, in the page's font at its DPI.
SIZE BannerArea(HWND page) {
    RECT area{0, 0, BANNER_WIDTH_DLU, BANNER_HEIGHT_DLU};
    MapDialogRect(page, &area);
    return {area.right, area.bottom};
}

// Each control but the banner lies inside the page, and each text fits its control.
void ExpectTextsFit(HWND page, const char* where) {
    SCOPED_TRACE(where);
    RECT pageRect{};
    GetClientRect(page, &pageRect);
    for (HWND control = GetWindow(page, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        wchar_t className[16] = {};
        GetClassNameW(control, className, 16);
        const bool isStatic = lstrcmpiW(className, L"Static") == 0;
        if ((style & WS_VISIBLE) == 0 || (isStatic && (style & SS_TYPEMASK) == SS_BITMAP))
            continue;
        const std::wstring text = wd::Text(page, GetDlgCtrlID(control));
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= pageRect.right &&
                    rect.bottom <= pageRect.bottom)
            << "control " << GetDlgCtrlID(control) << " leaves the page";
        if (!isStatic || text.empty())
            continue;
        RECT client{};
        GetClientRect(control, &client);
        RECT needed = client;
        HDC dc = GetDC(control);
        HGDIOBJ oldFont =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        SelectObject(dc, oldFont);
        ReleaseDC(control, dc);
        EXPECT_LE(needed.bottom, client.bottom)
            << "the text of control " << GetDlgCtrlID(control) << " is cut";
    }
}

TEST_F(WizardPagesTest, DpiBannerFillsItsBoxOnEveryPage) {
    Run(
        [](HWND sheet) {
            ASSERT_EQ(CBanner::WindowDpi(sheet), ExpectedDpi());
            for (int index = 0; index < 5; ++index) {
                ASSERT_TRUE(wd::WaitForPage(sheet, index, kWait));
                HWND page = wd::CurrentPage(sheet);
                const SIZE area = BannerArea(page);
                std::printf("page %d at %u DPI: banner %ld x %ld\n", index, ExpectedDpi(), area.cx,
                            area.cy);
                ExpectBannerFills(page, area, ("page " + std::to_string(index)).c_str());
                if (index < 4)
                    wd::Press(sheet, PSBTN_NEXT);
            }
        },
        true);
}

TEST_F(WizardPagesTest, DpiTextsFitInsideEveryPage) {
    Run(
        [](HWND sheet) {
            for (int index = 0; index < 5; ++index) {
                ASSERT_TRUE(wd::WaitForPage(sheet, index, kWait));
                ExpectTextsFit(wd::CurrentPage(sheet), ("page " + std::to_string(index)).c_str());
                if (index < 4)
                    wd::Press(sheet, PSBTN_NEXT);
            }
        },
        true);
}

#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

// Wine 8 never tells a window that its DPI changed; this sends the page what Windows sends it
// after a move to another screen, with a banner of the wrong size in place, as the old screen's
// banner would be.
TEST_F(WizardPagesTest, DpiBannerIsMadeAgainAfterADpiChange) {
    Run([](HWND sheet) {
        ASSERT_TRUE(wd::WaitForPage(sheet, 0, kWait));
        HWND page = wd::CurrentPage(sheet);
        HWND control = FindWindowExW(page, nullptr, L"Static", nullptr);
        while ((GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
            control = FindWindowExW(page, control, L"Static", nullptr);
        HDC screen = GetDC(nullptr);
        HBITMAP stale = CreateCompatibleBitmap(screen, 100, 100);
        ReleaseDC(nullptr, screen);
        DeleteObject(reinterpret_cast<HBITMAP>(
            SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(stale))));
        SetWindowPos(control, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);

        SendMessageW(page, WM_DPICHANGED_AFTERPARENT, 0, 0);
        ExpectBannerFills(page, BannerArea(page), "after the change");
    });
}

}  // namespace
