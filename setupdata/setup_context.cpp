#include "setupdata/setup_context.h"

#include <cwchar>
#include <string>

#include "platform/program_path_service.h"
#include "platform/services.h"
#include "setupdata/bounded_text.h"

namespace {

constexpr wchar_t kDriverInf24Pin[] = L"24pin\\OEMPRINT.INF";
constexpr wchar_t kDriverInf9Pin[] = L"9pin\\OEMPRINT.INF";

}  // namespace

SetupContext::SetupContext() {
    Init();
}

SetupContext& SetupContext::Init() {
    ClearText(setupFolder, kPathWidth);
    ClearText(printerInfoPath, kPathWidth);
    ClearText(driverInfPath, kPathWidth);
    ClearText(languagePath, kPathWidth);
    ClearText(printerName, kNameWidth);
    ClearText(portName, kNameWidth);
    ClearText(language, kLanguageWidth);
    CopyText(language, kLanguageWidth, L"English");
    makeDefault = 0;
    printTestPage = 0;
    queueCheck = QueueCheck::kSettleOnce;
    ResolveSetupFolder();
    ResolveInfoFilePath();
    ResolveDriverInfPath();
    ResolveLanguageFilePath();
    return *this;
}

void SetupContext::ResolveSetupFolder() {
    ClearText(setupFolder, kPathWidth);
    // Without a path of the program the folder stays empty, and every file of the setup data is
    // then missing rather than looked for in some other folder.
    wchar_t path[kPathWidth] = {};
    IProgramPathService* service = Services().programPath;
    if (service == nullptr || service->GetProgramPath(path, kPathWidth) == 0)
        return;
    wchar_t* lastSeparator = std::wcsrchr(path, L'\\');
    if (lastSeparator == nullptr)
        return;
    lastSeparator[1] = L'\0';
    CopyText(setupFolder, kPathWidth, path);
}

void SetupContext::ResolveInfoFilePath() {
    ClearText(printerInfoPath, kPathWidth);
    // Without a setup folder a bare file name would be looked for in the Windows folder or the
    // current folder, where another file of that name may lie; the path stays empty instead.
    if (setupFolder[0] != L'\0')
        CopyText(printerInfoPath, kPathWidth, (std::wstring(setupFolder) + kInfoFileName).c_str());
}

void SetupContext::ResolveDriverInfPath() {
    ClearText(driverInfPath, kPathWidth);
    if (setupFolder[0] == L'\0')
        return;
    std::wstring path = std::wstring(setupFolder) + kDriverFolder;
    // No family: the bare driver folder.
    if (const wchar_t* inf = DriverInfOfType(GetPrinterType(printerName)))
        path += inf;
    CopyText(driverInfPath, kPathWidth, path.c_str());
}

void SetupContext::ResolveLanguageFilePath() {
    ClearText(languagePath, kPathWidth);
    if (setupFolder[0] != L'\0')
        CopyText(languagePath, kPathWidth, (std::wstring(setupFolder) + kLanguageFileName).c_str());
}

const wchar_t* SetupContext::DriverInfOfType(int32_t type) {
    switch (type) {
        case kType24Pin:
            return kDriverInf24Pin;
        case kType9Pin:
            return kDriverInf9Pin;
        default:
            return nullptr;
    }
}

void SetupContext::SetPrinterName(const wchar_t* name) {
    CopyText(printerName, kNameWidth, name);
}

void SetupContext::GetPrinterName(wchar_t* out, uint32_t size) const {
    CopyText(out, size, printerName);
}

void SetupContext::SetPortName(const wchar_t* name) {
    CopyText(portName, kNameWidth, name);
}

void SetupContext::GetPortName(wchar_t* out, uint32_t size) const {
    CopyText(out, size, portName);
}

void SetupContext::SetMakeDefault(int32_t value) {
    makeDefault = value == 1 ? 1 : 0;
}

int32_t SetupContext::GetMakeDefault() const {
    return makeDefault;
}

void SetupContext::SetPrintTestPage(int32_t value) {
    printTestPage = value == 1 ? 1 : 0;
}

int32_t SetupContext::GetPrintTestPage() const {
    return printTestPage;
}
