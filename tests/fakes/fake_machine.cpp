#include "tests/fakes/fake_machine.h"

namespace {

// The quoted value after `option` ("/n"), or empty.
std::wstring ValueOf(const std::wstring& command, const std::wstring& option) {
    const size_t at = command.find(option + L" \"");
    if (at == std::wstring::npos)
        return std::wstring();
    const size_t start = at + option.size() + 2;
    const size_t end = command.find(L'"', start);
    return end == std::wstring::npos ? std::wstring() : command.substr(start, end - start);
}

}  // namespace

void CarryOutPrintUi(CFakeSpoolerService& spooler, const std::wstring& command) {
    const std::wstring name = ValueOf(command, L"/n");
    if (command.find(L" /if ") != std::wstring::npos)
        spooler.AddQueue(name, ValueOf(command, L"/m"), ValueOf(command, L"/r"));
    else if (command.find(L" /y ") != std::wstring::npos)
        spooler.defaultPrinter = name;
}
