#include "msi_action/win32/msi_action_host.h"

#include <msiquery.h>

#include <vector>

#include "platform/win32/unique_handle.h"

namespace {

// Where the package keeps the printer it installed, in the 64-bit view.
constexpr wchar_t kRememberedKey[] = L"SOFTWARE\\Korvel\\Printer Setup\\Installer";

// A pavonis.exe run longer than this has hung (its printer-UI commands end after two minutes,
// its wait for the setup lock after five): it is ended, and the action fails.
constexpr DWORD kRunLimitMs = 15 * 60 * 1000;

// A record of the installer, closed with MsiCloseHandle when it goes.
class CMsiRecord {
  public:
    explicit CMsiRecord(UINT fields) : m_handle(MsiCreateRecord(fields)) {}
    ~CMsiRecord() {
        if (m_handle != 0)
            MsiCloseHandle(m_handle);
    }
    CMsiRecord(const CMsiRecord&) = delete;
    CMsiRecord& operator=(const CMsiRecord&) = delete;
    MSIHANDLE get() const { return m_handle; }

  private:
    MSIHANDLE m_handle;
};

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring CMsiActionHost::Data() {
    DWORD size = 0;
    wchar_t empty[1] = L"";
    UINT status = MsiGetPropertyW(m_install, L"CustomActionData", empty, &size);
    if (status != ERROR_MORE_DATA)
        return std::wstring();
    std::vector<wchar_t> buffer(size + 1, L'\0');
    size = static_cast<DWORD>(buffer.size());
    status = MsiGetPropertyW(m_install, L"CustomActionData", buffer.data(), &size);
    return status == ERROR_SUCCESS ? std::wstring(buffer.data(), size) : std::wstring();
}

bool CMsiActionHost::Run(const std::wstring& program, const std::wstring& commandLine,
                         uint32_t& exitCode, uint32_t& error) {
    const std::wstring folder = program.substr(0, program.rfind(L'\\') + 1);
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, folder.c_str(), &startup, &info)) {
        error = GetLastError();
        return false;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    if (WaitForSingleObject(process.get(), kRunLimitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), ERROR_TIMEOUT);
        WaitForSingleObject(process.get(), 5000);
        Log(L"pavonis.exe did not end within 15 minutes and was ended.");
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) {
        error = GetLastError();
        return false;
    }
    exitCode = code;
    return true;
}

void CMsiActionHost::RestartAtEnd() {
    MsiSetMode(m_install, MSIRUNMODE_REBOOTATEND, TRUE);
}

void CMsiActionHost::Log(const std::wstring& line) {
    const CMsiRecord record(1);
    if (record.get() == 0)
        return;
    MsiRecordSetStringW(record.get(), 0, (L"Korvel printer setup: " + line).c_str());
    MsiProcessMessage(m_install, INSTALLMESSAGE_INFO, record.get());
}

bool CMsiActionHost::Remember(const RememberedPrinter& printer) {
    HKEY raw = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRememberedKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        Log(L"RegCreateKeyExW failed with " + std::to_wstring(status) + L".");
        return false;
    }
    const UniqueKey key(raw);
    for (const auto& [name, text] :
         {std::make_pair(L"Model", &printer.model), std::make_pair(L"Port", &printer.port),
          std::make_pair(L"TestPage", &printer.testPage)}) {
        status = SetText(key.get(), name, *text);
        if (status != ERROR_SUCCESS) {
            Log(L"RegSetValueExW failed with " + std::to_wstring(status) + L".");
            return false;
        }
    }
    return true;
}

bool CMsiActionHost::Forget() {
    const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRememberedKey, KEY_WOW64_64KEY, 0);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        return true;
    Log(L"RegDeleteKeyExW failed with " + std::to_wstring(status) + L".");
    return false;
}
