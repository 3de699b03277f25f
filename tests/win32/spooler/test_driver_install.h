#pragma once

#include <windows.h>

#include <string>

// Installs the test printer driver in the spooler, for the spooler tests and for the stand-in
// printer UI alike.
namespace TestDriverInstall {

// The environment of the drivers the tests install.
constexpr wchar_t kEnvironment[] = L"Windows x64";
// The file name the test driver DLL is built under.
constexpr wchar_t kDriverFile[] = L"korvel_test_printer_driver.dll";

// The spooler's driver directory, ending with a backslash; empty with `error` set on failure.
std::wstring DriverDirectory(DWORD& error);

// Copies `sourceDll` into the driver directory as `fileName` and adds the version 3 driver `name`
// with it as driver, data and configuration file. Returns ERROR_SUCCESS, or the error of the step
// `failedStep` names. `target` receives the copy's full path.
DWORD AddDriver(const std::wstring& name, const std::wstring& sourceDll,
                const std::wstring& fileName, std::wstring& target, std::wstring& failedStep);

}  // namespace TestDriverInstall
