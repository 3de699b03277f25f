#include "console/console_context.h"

#include "console/json_text.h"

CConsoleContext::CConsoleContext(const ConsoleCall& call, IConsoleHost& host)
    : m_call(call), m_host(host), m_cups(host.Platform() == ConsolePlatform::kCups) {}

std::wstring CConsoleContext::PrinterName() const {
    return m_queueInstall != nullptr ? m_queueInstall->PrinterName() : m_setup.printerName;
}

void CConsoleContext::Print(const std::wstring& text, const JsonText& json) {
    m_host.Out(m_call.json ? json.Text() : text);
}
