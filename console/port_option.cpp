#include "console/port_option.h"

#include "platform/platform_failure.h"
#include "platform/port_file.h"
#include "platform/standin/wide_text.h"
#include "platform/uri_passwords.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// The port on the first line of `bytes`, which were read from `source` ("The port file …",
// "Standard input"): editors put a byte order mark before it, and Windows a carriage return
// after it.
bool PortFromFirstLine(std::string bytes, const std::wstring& source, std::wstring& port,
                       std::wstring& why) {
    const size_t end = bytes.find('\n');
    // Only so many bytes were read: a line that did not end within them may go on.
    if (end == std::string::npos && bytes.size() > kPortFileMostBytes) {
        why = source + L" holds a first line longer than " + std::to_wstring(kPortFileMostBytes) +
              L" bytes, which is no port.";
        return false;
    }
    if (end != std::string::npos)
        bytes.resize(end);
    if (bytes.rfind(kByteOrderMark, 0) == 0)
        bytes.erase(0, sizeof kByteOrderMark - 1);
    if (!bytes.empty() && bytes.back() == '\r')
        bytes.pop_back();
    if (bytes.empty()) {
        why = source + L" holds no port on its first line.";
        return false;
    }
    port = DecodeUtf8(bytes);
    return true;
}

}  // namespace

bool TakePortFromFile(ConsoleCall& call, IConsoleHost& host, std::wstring& why) {
    const std::wstring file = call.Value(L"--port-file");
    if (file.empty())
        return true;
    std::string bytes;
    std::wstring source;
    if (file == L"-") {
        source = L"Standard input";
        if (!host.ReadInputLine(bytes, kPortFileMostBytes + 1)) {
            const auto failure = TakePlatformFailure();
            why = L"Standard input could not be read for --port-file -" +
                  (failure ? L" (" + failure->text + L")" : std::wstring()) + L".";
            return false;
        }
    } else {
        source = L"The port file " + file;
        if (!ReadPortFile(file, bytes, why))
            return false;
    }
    std::wstring port;
    if (!PortFromFirstLine(bytes, source, port, why))
        return false;
    call.values.erase(L"--port-file");
    call.values[L"--port"] = port;
    return true;
}

std::wstring PasswordOnCommandLineWarning(const ConsoleCall& call, ConsolePlatform platform) {
    const std::wstring port = call.Value(L"--port");
    if (port.empty() || UriWithoutPassword(port) == port)
        return std::wstring();
    return platform == ConsolePlatform::kWindows
               ? L"The port on the command line holds a password, which process lists and audit "
                 L"logs show; give it with --port-file instead."
               : L"The device URI on the command line holds a password that every account can "
                 L"read while the run lasts; give it with --port-file instead.";
}
