// A printer UI for tests, put in place of the system's printui.dll in a Wine prefix. Wine's own
// parses the command and does nothing, so nothing would tell a test what it was given, and no
// installation could ever complete. This one writes each command line it gets to the file that
// KORVEL_PRINTUI_LOG names, and then carries out the commands the wizard gives against Wine's
// spooler:
//   /if /n NAME /f INF /r PORT /m MODEL   installs the driver MODEL and adds the queue NAME on PORT
//   /y /n NAME                            makes NAME the default printer
//   /dl /n NAME                           deletes the queue NAME, as a script removing it would
//   /k /n NAME                            (a test page) is only recorded.
// The driver installed is always korvel_test_printer_driver.dll, which must lie beside this DLL:
// the INF named by /f is not read. KORVEL_PRINTUI_REFUSE lists, separated by commas, the commands
// to leave undone as a printer UI that fails without a word would: "install" (/if), "default" (/y).
// What fails is written to the file named by KORVEL_PRINTUI_LOG with ".errors" added.
// KORVEL_PRINTUI_DELAY_MS makes it take that long before it acts, as a slow printer UI would.
#include <windows.h>
#include <winspool.h>

#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "tests/win32/spooler/test_driver_install.h"

namespace {

struct PrinterCloser {
    void operator()(HANDLE printer) const { ClosePrinter(printer); }
};
using UniquePrinter = std::unique_ptr<void, PrinterCloser>;

std::wstring Environment(const wchar_t* name) {
    std::wstring value(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length >= value.size()) {
        value.resize(length);
        length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    }
    value.resize(length < value.size() ? length : 0);
    return value;
}

// Appends the bytes to the file, which is made when missing. False when the file could not be
// opened or written, with the error in `error`.
bool Append(const std::wstring& path, const void* bytes, DWORD size, DWORD& error) {
    HANDLE opened = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = GetLastError();
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    UniqueHandle file(opened);
    DWORD written = 0;
    const BOOL wrote = WriteFile(file.get(), bytes, size, &written, nullptr);
    error = GetLastError();
    return wrote != FALSE;
}

// rundll32 is started without standard streams, so what fails goes, as a UTF-8 line, to a file
// beside the log: its path with ".errors" added. Nothing when there is no log.
void Report(const std::wstring& what, DWORD error) {
    const std::wstring log = Environment(L"KORVEL_PRINTUI_LOG");
    if (log.empty())
        return;
    const std::wstring line = what + L": error " + std::to_wstring(error) + L"\r\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD ignored = 0;
    Append(log + L".errors", bytes.data(), static_cast<DWORD>(bytes.size()), ignored);
}

// Each call appends one record: the command line as UTF-16LE, then one NUL character, which no
// command line can hold, so that blanks at its end are kept and records never run together.
void Record(const wchar_t* commandLine) {
    const std::wstring path = Environment(L"KORVEL_PRINTUI_LOG");
    if (path.empty())
        return;
    std::wstring record = commandLine != nullptr ? commandLine : L"";
    record += L'\0';
    DWORD error = 0;
    if (!Append(path, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), error))
        Report(L"writing the log " + path, error);
}

// The words of a command line: split at blanks outside double quotes, the quotes taken away.
// A backslash is an ordinary character, so a folder path ending in one before its closing quote
// stays whole, as the printer UI reads it.
std::vector<std::wstring> Words(const wchar_t* commandLine) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool inWord = false;
    bool quoted = false;
    for (const wchar_t* c = commandLine; c != nullptr && *c != L'\0'; ++c) {
        if (*c == L'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (*c == L' ' || *c == L'\t')) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

struct Command {
    std::vector<std::wstring> switches;
    std::map<wchar_t, std::wstring> values;  // by the letter of /n, /f, /r, /m
    bool valid = true;

    bool Has(const wchar_t* name) const {
        for (const std::wstring& s : switches) {
            if (s == name)
                return true;
        }
        return false;
    }
    std::wstring Value(wchar_t letter) const {
        const auto found = values.find(letter);
        return found != values.end() ? found->second : std::wstring();
    }
};

// The switches that take a value take the next word, even when it begins with a slash; the
// switches are told apart with regard to case, as the printer UI does (/k and /K differ).
Command Parse(const wchar_t* commandLine) {
    Command command;
    const std::vector<std::wstring> words = Words(commandLine);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        const bool takesValue = word == L"/n" || word == L"/f" || word == L"/r" || word == L"/m";
        if (takesValue) {
            if (i + 1 == words.size()) {
                command.valid = false;
                break;
            }
            command.values[word[1]] = words[++i];
        } else if (!word.empty() && word[0] == L'/') {
            command.switches.push_back(word);
        } else {
            command.valid = false;  // a word that belongs to no switch
        }
    }
    return command;
}

bool Refused(const wchar_t* what) {
    const std::wstring list = L"," + Environment(L"KORVEL_PRINTUI_REFUSE") + L",";
    return list.find(std::wstring(L",") + what + L",") != std::wstring::npos;
}

std::wstring ThisFolder() {
    HMODULE self = nullptr;
    const BOOL found = GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&Refused), &self);
    const DWORD findError = GetLastError();
    if (!found) {
        Report(L"finding this DLL", findError);
        return std::wstring();
    }
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    const DWORD pathError = GetLastError();
    if (length == 0 || length >= MAX_PATH) {
        Report(L"finding the path of this DLL", pathError);
        return std::wstring();
    }
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

bool AddDriver(const std::wstring& model) {
    const std::wstring folder = ThisFolder();
    if (folder.empty())
        return false;
    std::wstring target;
    std::wstring failedStep;
    const DWORD error =
        TestDriverInstall::AddDriver(model, folder + TestDriverInstall::kDriverFile,
                                     TestDriverInstall::kDriverFile, target, failedStep);
    if (error != ERROR_SUCCESS) {
        Report(failedStep, error);
        return false;
    }
    return true;
}

void Install(const Command& command) {
    std::wstring name = command.Value(L'n');
    std::wstring port = command.Value(L'r');
    std::wstring model = command.Value(L'm');
    if (name.empty() || port.empty() || model.empty()) {
        Report(L"an install command without a printer, port or model", ERROR_INVALID_PARAMETER);
        return;
    }
    if (!AddDriver(model))
        return;
    std::wstring processor = L"winprint";
    std::wstring datatype = L"RAW";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = model.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = datatype.data();
    const UniquePrinter printer(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    const DWORD error = GetLastError();
    if (!printer)
        Report(L"adding the queue " + name + L" on " + port, error);
}

void MakeDefault(const Command& command) {
    const std::wstring name = command.Value(L'n');
    // An empty name would make the spooler pick a default of its own.
    if (name.empty()) {
        Report(L"a default command without a printer", ERROR_INVALID_PARAMETER);
        return;
    }
    const BOOL made = SetDefaultPrinterW(name.c_str());
    const DWORD error = GetLastError();
    if (!made)
        Report(L"making " + name + L" the default printer", error);
}

void Delete(const Command& command) {
    std::wstring name = command.Value(L'n');
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE opened = nullptr;
    if (name.empty() || !OpenPrinterW(name.data(), &opened, &access)) {
        Report(L"opening the queue " + name + L" to delete it", GetLastError());
        return;
    }
    const UniquePrinter printer(opened);
    const BOOL deleted = DeletePrinter(printer.get());
    const DWORD error = GetLastError();
    if (!deleted)
        Report(L"deleting the queue " + name, error);
}

}  // namespace

extern "C" __declspec(dllexport) void CALLBACK
    PrintUIEntryW(HWND, HINSTANCE, LPCWSTR commandLine, int) {
    Record(commandLine);
    const std::wstring delay = Environment(L"KORVEL_PRINTUI_DELAY_MS");
    if (!delay.empty())
        Sleep(static_cast<DWORD>(std::wcstoul(delay.c_str(), nullptr, 10)));
    const Command command = Parse(commandLine);
    if (!command.valid) {
        Report(L"a command it cannot read", ERROR_INVALID_PARAMETER);
        return;
    }
    if (command.Has(L"/if")) {
        if (!Refused(L"install"))
            Install(command);
    } else if (command.Has(L"/y")) {
        if (!Refused(L"default"))
            MakeDefault(command);
    } else if (command.Has(L"/dl")) {
        Delete(command);
    }
}
