#include "install/windows/print_ui_commands.h"

#include <cwchar>

namespace PrintUiCommands {

bool IsQuotable(const wchar_t* value) {
    if (value == nullptr || value[0] == L'\0')
        return false;
    return std::wcschr(value, L'"') == nullptr && value[std::wcslen(value) - 1] != L'\\';
}

std::wstring MakeDefault(const wchar_t* printerName) {
    return std::wstring(L"PRINTUI.DLL,PrintUIEntry /y /q /n \"") + printerName + L"\"";
}

std::wstring TestPage(const wchar_t* printerName) {
    return std::wstring(L"PRINTUI.DLL,PrintUIEntry /k /q /n \"") + printerName + L"\"";
}

std::wstring Install(const wchar_t* printerName, const wchar_t* infPath, const wchar_t* portName) {
    return std::wstring(L"PRINTUI.DLL,PrintUIEntry /if /n \"") + printerName + L"\" /f \"" +
           infPath + L"\" /r \"" + portName + L"\" /m \"" + printerName + L"\" ";
}

const wchar_t* LaunchErrorText(uint32_t error) {
    switch (error) {
        case 2:
            return L"The specified file was not found.";
        case 3:
            return L"The specified path was not found.";
        case 5:
            return L"Access to the specified file is denied.";
        case 8:
            return L"There is not enough memory to perform the specified action.";
        case 32:
            return L"A sharing violation occurred.";
        case 1155:
            return L"There is no application associated with the given file name extension.";
        case 1156:
            return L"The Dynamic Data Exchange (DDE) transaction failed.";
        case 1157:
            return L"One of the library files necessary to run the application can't be found.";
        case 1223:
            return L"The function prompted the user for additional information, but the user "
                   L"canceled the request.";
        default:
            return L"Other error occurred.";
    }
}

}  // namespace PrintUiCommands
