#include "console/command_prerequisites.h"

#include <cstdio>
#include <memory>

#include "console/console_context.h"
#include "install/check/info_file_reading.h"
#include "install/cups/queue_install.h"
#include "platform/native_path.h"
#include "platform/services.h"
#include "platform/session_service.h"
#include "setupdata/bounded_text.h"
#include "setupdata/setup_context.h"

bool UseSetupFolder(CConsoleContext& context, Outcome& exit) {
    SetupContext& setup = context.Setup();
    std::wstring folder = context.Call().Value(L"--setup-folder");
    if (!folder.empty()) {
        if (folder.back() != L'\\' && folder.back() != L'/')
            folder += L'\\';
        if (folder.size() >= SetupContext::kPathWidth) {
            context.Host().Err(L"The setup folder's path is too long: " + DisplayPath(folder));
            exit = Outcome::kMissingSetup;
            return false;
        }
        folder.copy(setup.setupFolder, folder.size());
        setup.setupFolder[folder.size()] = L'\0';
        setup.ResolveInfoFilePath();
        setup.ResolveDriverInfPath();
        setup.ResolveLanguageFilePath();
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(setup.printerInfoPath),
                                                         &std::fclose);
    if (!file) {
        context.Host().Err(std::wstring(L"The setup folder has no printer information file: ") +
                           (setup.printerInfoPath[0] != L'\0' ? DisplayPath(setup.printerInfoPath)
                                                              : L"PrinterInfor.Inf"));
        exit = Outcome::kMissingSetup;
        return false;
    }
    file.reset();
    const std::wstring why = WhyInfoFileCannotBeRead(setup.printerInfoPath);
    if (!why.empty()) {
        context.Host().Err(L"The printer information file " + DisplayPath(setup.printerInfoPath) +
                           L" cannot be read as setup data: " + why +
                           L" pavonis validate says more.");
        exit = Outcome::kMissingSetup;
        return false;
    }
    return true;
}

bool ChooseModel(CConsoleContext& context, Outcome& exit, bool needsFamily) {
    SetupContext& setup = context.Setup();
    IConsoleHost& host = context.Host();
    const std::wstring model = context.Call().Value(L"--model");
    wchar_t printer[SetupContext::kPathWidth] = {};
    if (setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kPathWidth) == 0 ||
        !CopyText(setup.printerName, SetupContext::kNameWidth, printer)) {
        host.Err(L"The setup data has no printer name for the model " + model +
                 L" (see: pavonis models).");
        exit = Outcome::kBadArguments;
        return false;
    }
    setup.ResolveDriverInfPath();
    if (needsFamily && setup.GetPrinterType(printer) < 0) {
        host.Err(std::wstring(L"The setup data gives no driver family for ") + printer +
                 L"; nothing was touched.");
        exit = Outcome::kMissingSetup;
        return false;
    }
    if (!context.Cups())
        return true;
    const std::wstring queue = CQueueInstall::QueueNameOf(printer);
    if (queue.empty()) {
        host.Err(std::wstring(L"The printer name ") + printer +
                 L" has nothing a CUPS queue name can hold.");
        exit = Outcome::kMissingSetup;
        return false;
    }
    context.SetQueueInstall(std::make_unique<CQueueInstall>(printer));
    setup.SetPrinterName(queue.c_str());
    return true;
}

bool Elevated(CConsoleContext& context, Outcome& exit) {
    ISessionService* session = Services().session;
    if (session == nullptr || session->IsElevated())
        return true;
    context.Host().Err(L"The command " + context.Call().command +
                       L" changes the printers of this computer and needs administrator rights: "
                       L"run it from an elevated prompt, or as SYSTEM.");
    exit = Outcome::kNotAuthorized;
    return false;
}
