#include <gtest/gtest.h>

#include "setupdata/setup_context.h"
#include "tests/fakes/fake_machine.h"

namespace {

// The whole installation on the sample setup folder, with the machine faked.
class InstallTest : public ::testing::Test, protected CFakeMachine {
  protected:
    InstallTest() {
        programPath.path = SourcePath("sample-setup/PavonisSetup.exe");
        context.Init();  // again, now that the program's path is set
        context.SetPrinterName(L"Korvel RV-1800K");
        context.SetPortName(L"LPT1:");
        // The printer UI creates the queue it is told to install.
        launcher.onRun = [this](const std::wstring&) {
            spooler.AddQueue(context.printerName, context.printerName);
        };
    }

    void TearDown() override { EXPECT_TRUE(AllReleased()); }

    // A supported printer on USB that reports `model`.
    void ConnectPrinter(const std::string& model) {
        usb.interfaces.push_back({L"\\\\?\\usb#vid_fff0&pid_0001#s#{28d78fad}", false, false,
                                  CFakeUsbPrinterService::DeviceIdReply("MDL:" + model + ";")});
    }

    CScopedServices services{Set()};
    SetupContext context;
};

TEST_F(InstallTest, WithoutAUsbPrinterThePrinterUiInstallsOnTheChosenPort) {
    EXPECT_EQ(context.Install(), 1);
    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_NE(launcher.runs[0].parameters.find(L"/r \"LPT1:\""), std::wstring::npos);
    EXPECT_TRUE(pnp.updates.empty());
    // Only the INF path of the user's context changed.
    EXPECT_STREQ(context.printerName, L"Korvel RV-1800K");
    EXPECT_STREQ(context.portName, L"LPT1:");
}

TEST_F(InstallTest, AUsbPrinterOfAnUnlistedOrEmptyModelTakesThePrinterUiToo) {
    for (const char* model : {"RV-9999", ""}) {
        usb.interfaces.clear();
        launcher.runs.clear();
        spooler.queues.clear();
        ConnectPrinter(model);
        EXPECT_EQ(context.Install(), 1) << model;
        EXPECT_EQ(launcher.runs.size(), 1u);
        EXPECT_TRUE(pnp.updates.empty());
    }
}

TEST_F(InstallTest, AListedUsbPrinterGetsTheChosenModelsIdentifierByPlugAndPlay) {
    // Listed in the second series only: the model check looks at every series.
    ConnectPrinter("KP-960");
    EXPECT_EQ(context.Install(), 1);
    ASSERT_EQ(pnp.updates.size(), 1u);
    EXPECT_EQ(pnp.updates[0].hardwareId, L"USBPRINT\\KORVELRV-1800K5A3C");
    EXPECT_EQ(pnp.updates[0].infPath, SourcePath("sample-setup/PrinterDriver/24pin/OEMPRINT.INF"));
    EXPECT_TRUE(launcher.runs.empty());
}

TEST_F(InstallTest, AFailedPlugAndPlayUpdateIsFinal) {
    ConnectPrinter("RV-90");
    pnp.succeed = false;
    EXPECT_EQ(context.Install(), 0);
    EXPECT_EQ(pnp.updates.size(), 1u);
    EXPECT_TRUE(launcher.runs.empty());
}

TEST_F(InstallTest, AChosenModelMissingFromItsInfIsNotUpdated) {
    ConnectPrinter("RV-90");
    // Of the 9-pin family by the setup data, but absent from that family's INF.
    context.SetPrinterName(L"Korvel KP-960 Plus");
    EXPECT_EQ(context.InstallByPnp(), 0);
    EXPECT_TRUE(pnp.updates.empty());
}

}  // namespace
