#include "console/console_context.h"

#include "console/json_text.h"
#include "platform/services.h"
#include "platform/spooler_service.h"

CConsoleContext::CConsoleContext(const ConsoleCall& call, IConsoleHost& host)
    : m_call(call), m_host(host), m_cups(host.Platform() == ConsolePlatform::kCups) {}

std::wstring CConsoleContext::PrinterName() const {
    return m_queueInstall != nullptr ? m_queueInstall->PrinterName() : m_setup.printerName;
}

void CConsoleContext::Print(const std::wstring& text, const JsonText& json) {
    m_host.Out(m_call.json ? json.Text() : text);
}

void CConsoleContext::SayUnreachable(const std::optional<PlatformFailure>& failure) {
    ISpoolerService* spooler = Services().spooler;
    m_host.Err(spooler != nullptr ? spooler->UnreachableReason(failure)
                                  : L"The print system could not be asked.");
}
