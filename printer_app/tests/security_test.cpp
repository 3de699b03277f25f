#include <gtest/gtest.h>

#include <string>

#include "printer_app/tests/server_test_support.h"
#include "printer_app/tests/test_server.h"

namespace {

// `testFile` expects success or a refusal.
std::string CreatePrinter(const std::string& uri, const std::string& name, const char* testFile,
                          const std::string& account) {
    return IppTool(uri, testFile,
                   "-d name=" + name + " -d device=file://" + Server().OutputFile(name + ".prn"),
                   account);
}

// The domain socket lets in the service's account and administrators only (its folder), and
// over TCP nobody may change the system; the service's account is the control that the request
// itself is sound.
TEST(PrinterAppSecurityTest, AnAccountOutsideLpadminCannotCreateAPrinter) {
    const std::string socket = Server().SocketUri("/ipp/system");
    const std::string tcp = "ipp://localhost:" + std::to_string(Server().Port()) + "/ipp/system";
    EXPECT_EQ(CreatePrinter(socket, "control", "create-printer.test", "nobody"), "");
    EXPECT_NE(CreatePrinter(socket, "intruder1", "create-printer.test", "daemon"), "");
    for (const char* account : {"daemon", "nobody"}) {
        EXPECT_NE(
            CreatePrinter(tcp, std::string("intruder-") + account, "create-printer.test", account)
                .find("client-error-forbidden"),
            std::string::npos)
            << account;
    }
    int status = 0;
    const std::string printers =
        CommandOutput(AsAccount("nobody", "XDG_RUNTIME_DIR=" + Server().Folder() + "/run",
                                KORVEL_PRINTER_APP " printers"),
                      status);
    EXPECT_NE(printers.find("control"), std::string::npos) << printers;
    EXPECT_EQ(printers.find("intruder"), std::string::npos) << printers;
}

// A server started as the package starts it takes no file device, and root cannot start one.
TEST(PrinterAppSecurityTest, ThePackagedServerRefusesFileDevicesAndRoot) {
    CTestServer packaged({});
    ASSERT_TRUE(packaged.Started());
    EXPECT_NE(packaged.Run("nobody",
                           "add -d p -m korvel_24pin -v file://" + packaged.OutputFile("p.prn")),
              0);
    int status = 0;
    const std::string refusal =
        CommandOutput(KORVEL_PRINTER_APP " server -o server-port=1", status);
    EXPECT_NE(status, 0);
    EXPECT_NE(refusal.find("as the service account korvel-printer-app"), std::string::npos)
        << refusal;
}

}  // namespace
