#include "tests/win32/spooler/test_driver_install.h"

#include <winspool.h>

namespace TestDriverInstall {

std::wstring DriverDirectory(DWORD& error) {
    std::wstring environment = kEnvironment;
    wchar_t path[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, environment.data(), 1, reinterpret_cast<BYTE*>(path),
                                    sizeof(path), &needed)) {
        error = GetLastError();
        return std::wstring();
    }
    error = ERROR_SUCCESS;
    return std::wstring(path) + L"\\";
}

DWORD AddDriver(const std::wstring& name, const std::wstring& sourceDll,
                const std::wstring& fileName, std::wstring& target, std::wstring& failedStep) {
    DWORD error = ERROR_SUCCESS;
    const std::wstring directory = DriverDirectory(error);
    if (directory.empty()) {
        failedStep = L"asking for the driver directory";
        return error;
    }
    target = directory + fileName;
    if (!CopyFileW(sourceDll.c_str(), target.c_str(), FALSE)) {
        error = GetLastError();
        failedStep = L"copying " + sourceDll + L" to " + target;
        return error;
    }
    std::wstring driverName = name;
    std::wstring environment = kEnvironment;
    std::wstring path = target;
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = driverName.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = path.data();
    info.pDataFile = path.data();
    info.pConfigFile = path.data();
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES)) {
        error = GetLastError();
        failedStep = L"adding the driver " + name;
        return error;
    }
    return ERROR_SUCCESS;
}

}  // namespace TestDriverInstall
