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
        if (!call.json) {
            host.Out(DisplayPath(finding.file) + L":" + std::to_wstring(finding.line) + L": " +
                     finding.problem + L" Fix: " + finding.fix);
        }
        list.Add(JsonText()
                     .Add(L"file", DisplayPath(finding.file))
                     .Add(L"line", static_cast<int>(finding.line))
                     .Add(L"problem", finding.problem)
                     .Add(L"fix", finding.fix));
    }
    if (call.json)
        host.Out(JsonText().Add(L"findings", list).Text());
    else if (findings.empty())
        host.Out(L"No findings in " + DisplayPath(folder));
    return findings.empty() ? Outcome::kSuccess : Outcome::kFindings;
}
