#include "console/commands/validate_command.h"

#include <vector>

#include "console/console_context.h"
#include "console/json_text.h"
#include "install/check/setup_folder_check.h"
#include "platform/native_path.h"

Outcome RunValidateCommand(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    IConsoleHost& host = context.Host();
    std::wstring folder =
        call.arguments.empty() ? std::wstring(context.Setup().setupFolder) : call.arguments[0];
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    const std::vector<SetupFinding> findings = CheckSetupFolder(folder);
    JsonArray list;
    for (const SetupFinding& finding : findings) {
        const bool warning = finding.severity == FindingSeverity::kWarning;
        if (!call.json) {
            host.Out(DisplayPath(finding.file) + L":" + std::to_wstring(finding.line) + L": " +
                     (warning ? L"warning: " : L"") + finding.problem + L" Fix: " + finding.fix);
        }
        list.Add(JsonText()
                     .Add(L"file", DisplayPath(finding.file))
                     .Add(L"line", static_cast<int>(finding.line))
                     .Add(L"severity", warning ? L"warning" : L"fault")
                     .Add(L"problem", finding.problem)
                     .Add(L"fix", finding.fix));
    }
    const bool faults = HasFaults(findings);
    if (call.json)
        host.Out(JsonText().Add(L"findings", list).Text());
    else if (!faults)
        host.Out(
            L"No faults in " + DisplayPath(folder) +
            (findings.empty() ? L"" : L" (" + std::to_wstring(findings.size()) + L" warnings)"));
    // Warnings alone pass, as a folder for machines with test signing on may hold them; a
    // release for every machine passes --strict.
    const bool strict = call.Has(L"--strict");
    return faults || (strict && !findings.empty()) ? Outcome::kFindings : Outcome::kSuccess;
}
