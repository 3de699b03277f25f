#include "console/commands/models_command.h"

#include <algorithm>

#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/json_text.h"
#include "platform/native_path.h"

namespace {

// The models of one series, each with its printer name, driver family and INF file: said as a
// line each, and returned for --json.
JsonArray ListModels(CConsoleContext& context, const StringList& models) {
    SetupContext& setup = context.Setup();
    const bool json = context.Call().json;
    JsonArray list;
    for (const std::wstring& model : models) {
        SetupContext choice = setup;
        wchar_t printer[SetupContext::kPathWidth] = {};
        const bool named =
            setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kPathWidth) != 0;
        choice.SetPrinterName(named ? printer : L"");
        const int32_t type = named ? choice.GetPrinterType(printer) : -1;
        const std::wstring family = type == 1 ? L"24-pin" : type == 2 ? L"9-pin" : L"";
        choice.ResolveDriverInfPath();
        const std::wstring inf = family.empty() ? L"" : DisplayPath(choice.driverInfPath);
        if (!json) {
            context.Host().Out(L"  " + model + L"\t" + (named ? printer : L"(no printer name)") +
                               L"\t" + (family.empty() ? L"(no family)" : family) + L"\t" + inf);
        }
        list.Add(JsonText()
                     .Add(L"model", model)
                     .Add(L"printer", named ? printer : L"")
                     .Add(L"family", family)
                     .Add(L"inf", inf));
    }
    return list;
}

}  // namespace

Outcome RunModelsCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit))
        return exit;
    IConsoleHost& host = context.Host();
    const bool json = context.Call().json;
    StringList series;
    context.Setup().ListSeries(series);
    const std::wstring wanted = context.Call().Value(L"--series");
    if (!wanted.empty()) {
        if (std::find(series.begin(), series.end(), wanted) == series.end()) {
            host.Err(L"The setup data lists no series " + wanted + L".");
            return Outcome::kBadArguments;
        }
        series = {wanted};
    }
    JsonArray all;
    for (const std::wstring& name : series) {
        StringList models;
        context.Setup().ListSeriesModels(name.c_str(), models);
        if (!json)
            host.Out(name);
        all.Add(JsonText().Add(L"series", name).Add(L"models", ListModels(context, models)));
    }
    if (json)
        host.Out(JsonText().Add(L"series", all).Text());
    return Outcome::kSuccess;
}
