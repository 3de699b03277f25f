#include "console/change_report.h"

#include "console/console_context.h"
#include "console/json_text.h"
#include "platform/uri_passwords.h"

Outcome Report(CConsoleContext& context, const std::wstring& text, const Change& change,
               Outcome exit) {
    const ConsoleCall& call = context.Call();
    if (!call.json) {
        if (!text.empty())
            context.Host().Out(text);
        return exit;
    }
    JsonText json;
    json.Add(L"changed", change.changed || context.RepairChanged());
    if (context.DryRun())
        json.Add(L"dryRun", true);
    if (call.command != L"restore") {
        json.Add(L"printer", context.PrinterName());
        json.Add(L"queue", std::wstring(context.Setup().printerName));
    }
    json.Add(L"port", UriWithoutPassword(change.port));
    json.Add(L"backup", change.backup);
    json.Add(L"outcome", change.outcome);
    if (!context.FailureReason().empty())
        json.Add(L"reason", context.FailureReason());
    if (change.restart)
        json.Add(L"restartRequired", true);
    if (!context.Repaired().empty()) {
        JsonArray repaired;
        for (const std::wstring& queue : context.Repaired())
            repaired.Add(queue);
        json.Add(L"repaired", repaired);
    }
    context.Host().Out(json.Text());
    return exit;
}
