#include "setupdata/setup_context.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/native_path.h"
#include "platform/program_path_service.h"
#include "platform/services.h"
#include "setupdata/bounded_text.h"

namespace {

constexpr wchar_t kDriverInf24Pin[] = L"24pin\\OEMPRINT.INF";
constexpr wchar_t kDriverInf9Pin[] = L"9pin\\OEMPRINT.INF";

// Whether a folder (ending with a backslash) holds a printer information file that can be read.
bool HoldsInfoFile(const std::wstring& folder) {
    std::FILE* file = OpenNativeFile((folder + SetupContext::kInfoFileName).c_str());
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

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
    std::wstring folder = path;
    // An installed package keeps the setup data apart from the program (on Linux in
    // share/korvel-setup beside bin/). A setup folder beside the program still comes first, so
    // that a program in a copied setup folder reads that folder's data.
    const wchar_t* packaged = service->PackagedSetupFolder();
    const size_t parentEnd =
        folder.size() < 2 ? std::wstring::npos : folder.rfind(L'\\', folder.size() - 2);
    if (packaged != nullptr && parentEnd != std::wstring::npos && !HoldsInfoFile(folder)) {
        const std::wstring installed = folder.substr(0, parentEnd + 1) + packaged;
        if (installed.size() < kPathWidth && HoldsInfoFile(installed))
            folder = installed;
    }
    CopyText(setupFolder, kPathWidth, folder.c_str());
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
