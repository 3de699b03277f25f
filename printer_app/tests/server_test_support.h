#pragma once

#include <string>

#include "printer_app/tests/test_server.h"

// The server every test of the program shares: started before the first test, with file devices
// and the printers p24pin and p9pin (one of each driver) on files of its folder.
CTestServer& Server();

// What a shell command line writes on standard output and error, and its exit status.
std::string CommandOutput(const std::string& command, int& status);
std::string ReadFile(const std::string& path);
// The file a printer of the shared server prints to.
std::string OutputOf(const std::string& printer);
// Writes a document into the server's folder; its path.
std::string WriteDocument(const std::string& name, const std::string& bytes);

// ipptool's verdict on one of the test files of ipp/ against a URI, run as `account`: empty when
// every test passed, else its report.
std::string IppTool(const std::string& uri, const std::string& testFile,
                    const std::string& variables, const std::string& account = "root");

// Prints a document and waits for its job to end in `state` (9 completed, 8 aborted) with
// `reason`; gives the bytes the printer got from it.
std::string Print(const std::string& printer, const std::string& format,
                  const std::string& document, int state, const std::string& reason);
