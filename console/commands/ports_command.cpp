#include "console/commands/ports_command.h"

#include "console/console_context.h"
#include "console/json_text.h"
#include "platform/platform_failure.h"

Outcome RunPortsCommand(CConsoleContext& context) {
    IConsoleHost& host = context.Host();
    const bool json = context.Call().json;
    StringList ports;
    if (context.Setup().ListPorts(ports) == 0) {
        context.SayUnreachable(TakePlatformFailure());
        return Outcome::kFailed;
    }
    JsonArray list;
    for (const std::wstring& port : ports) {
        if (!json)
            host.Out(port);
        list.Add(port);
    }
    // A queue on CUPS prints to any device URI, of the network backends too, which are not
    // listed since finding their printers would probe the network.
    JsonText result;
    result.Add(L"ports", list);
    if (context.Cups())
        result.Add(L"anyDeviceUri", true);
    if (json)
        host.Out(result.Text());
    else if (context.Cups())
        host.Err(
            L"Any CUPS device URI is accepted as --port, for example "
            L"socket://192.0.2.10:9100 or lpd://192.0.2.10/queue.");
    return Outcome::kSuccess;
}
