#include "msi_action/printer_action.h"

#include <vector>

namespace {

// Splits the action's data at its first `count - 1` bars; the last field keeps any bar of its
// own, so that a port (which may be any name) comes through whole. False when there are fewer
// fields.
bool SplitData(const std::wstring& data, size_t count, std::vector<std::wstring>& fields) {
    fields.clear();
    size_t begin = 0;
    for (size_t i = 0; i + 1 < count; ++i) {
        const size_t bar = data.find(L'|', begin);
        if (bar == std::wstring::npos)
            return false;
        fields.push_back(data.substr(begin, bar - begin));
        begin = bar + 1;
    }
    fields.push_back(data.substr(begin));
    return true;
}

std::wstring ProgramIn(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder + L"pavonis.exe";
}

}  // namespace

std::wstring CPrinterAction::Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote itself escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    // And before the closing quote.
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

uint32_t CPrinterAction::RunPavonis(const std::wstring& folder, const std::wstring& arguments) {
    const std::wstring program = ProgramIn(folder);
    const std::wstring commandLine =
        Quoted(program) + L" " + arguments + L" --wait " + std::to_wstring(kLockWaitSeconds);
    m_host.Log(L"Running " + commandLine);
    uint32_t exitCode = 0;
    uint32_t error = 0;
    if (!m_host.Run(program, commandLine, exitCode, error)) {
        m_host.Log(L"pavonis.exe could not be started: error " + std::to_wstring(error) + L".");
        return kFailure;
    }
    m_host.Log(L"pavonis.exe ended with " + std::to_wstring(exitCode) +
               L"; its log is in %ProgramData%\\Korvel Setup\\Logs.");
    if (exitCode == kRestartRequired) {
        m_host.RestartAtEnd();
        return kSuccess;
    }
    return exitCode == 0 ? kSuccess : kFailure;
}

uint32_t CPrinterAction::Install() {
    std::vector<std::wstring> fields;
    if (!SplitData(m_host.Data(), 4, fields) || fields[2].empty()) {
        m_host.Log(L"The install action got no folder and model: " + m_host.Data());
        return kFailure;
    }
    const std::wstring& testPage = fields[1];
    const std::wstring& model = fields[2];
    const std::wstring& port = fields[3];
    // SYSTEM's default printer is nobody's: the user's own run of `pavonis default` makes it.
    std::wstring arguments = L"install --model " + Quoted(model) + L" --no-default";
    if (!port.empty())
        arguments += L" --port " + Quoted(port);
    if (testPage == L"1")
        arguments += L" --test-page";
    const uint32_t result = RunPavonis(fields[0], arguments);
    if (result == kSuccess && !m_host.Remember({model, port, testPage}))
        m_host.Log(L"The printer's settings could not be remembered for repairs and removal.");
    return result;
}

uint32_t CPrinterAction::Remove() {
    std::vector<std::wstring> fields;
    if (!SplitData(m_host.Data(), 2, fields) || fields[1].empty()) {
        m_host.Log(L"The remove action got no folder and model: " + m_host.Data());
        return kFailure;
    }
    const uint32_t result = RunPavonis(fields[0], L"remove --model " + Quoted(fields[1]));
    if (result == kSuccess && !m_host.Forget())
        m_host.Log(L"The remembered printer settings could not be deleted.");
    return result;
}
