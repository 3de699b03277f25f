#include "printer_app/tests/server_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace {

const std::string kIppFolder = KORVEL_SOURCE_DIR "/printer_app/tests/ipp/";

}  // namespace

std::string CommandOutput(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
    char buffer[4096];
    size_t count = 0;
    while (pipe != nullptr && (count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, count);
    status = pipe != nullptr ? pclose(pipe) : -1;
    return output;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

namespace {

// One server for the whole program, with file devices, and a printer of each family.
class ServerEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        server = std::make_unique<CTestServer>(std::vector<std::string>{"-o", "file-devices=yes"});
        ASSERT_TRUE(server->Started()) << "the server did not start";
        for (const char* family : {"24pin", "9pin"}) {
            const std::string out = server->OutputFile(std::string("p") + family + ".prn");
            ASSERT_EQ(server->Run("nobody", std::string("add -d p") + family + " -m korvel_" +
                                                family + " -v file://" + out),
                      0);
        }
    }
    void TearDown() override { server.reset(); }

    std::unique_ptr<CTestServer> server;
};

ServerEnvironment* const g_environment =
    static_cast<ServerEnvironment*>(::testing::AddGlobalTestEnvironment(new ServerEnvironment));

}  // namespace

CTestServer& Server() {
    return *g_environment->server;
}

std::string OutputOf(const std::string& printer) {
    return Server().Folder() + "/out/" + printer + ".prn";
}

std::string WriteDocument(const std::string& name, const std::string& bytes) {
    const std::string path = Server().Folder() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// ipptool's verdict on a test file against a URI, run as `account`: empty when every test
// passed, else its report.
std::string IppTool(const std::string& uri, const std::string& testFile,
                    const std::string& variables, const std::string& account) {
    int status = 0;
    const std::string report = CommandOutput(
        AsAccount(account, "",
                  "ipptool -t -T 30 " + variables + " '" + uri + "' " + kIppFolder + testFile),
        status);
    // ipptool ends with 0 on a test file it cannot parse too: passing tests say so.
    const bool passed = status == 0 && report.find("[PASS]") != std::string::npos &&
                        report.find("[FAIL]") == std::string::npos &&
                        report.find("ipptool:") == std::string::npos;
    return passed ? std::string() : "ipptool failed:\n" + report;
}

// Prints a document and waits for its job to end in `state` with `reason`; gives the bytes the
// printer got from it.
std::string Print(const std::string& printer, const std::string& format,
                  const std::string& document, int state, const std::string& reason) {
    const std::string before = ReadFile(OutputOf(printer));
    EXPECT_EQ(IppTool(Server().PrinterUri(printer), "print.test",
                      "-d format=" + format + " -f " + WriteDocument("document", document) +
                          " -d state=" + std::to_string(state) + " -d reason=" + reason),
              "")
        << format << " on " << printer << "\n"
        << Server().Log();
    return ReadFile(OutputOf(printer)).substr(before.size());
}
