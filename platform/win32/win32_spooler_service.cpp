#include "platform/win32/win32_spooler_service.h"

#include <cwchar>
#include <memory>
#include <vector>

namespace {

// The spooler's enumerations take a buffer of a size they name themselves: a first call without
// one says how many bytes the records and their strings need, a second fills exactly that many.
// A first call that succeeds has nothing to return (Wine answers so when there is no queue).
// Returns the filled buffer and the number of records, or false.
template <typename Enumerate>
bool EnumerateRecords(Enumerate enumerate, std::unique_ptr<BYTE[]>& buffer, DWORD& count) {
    DWORD needed = 0;
    count = 0;
    if (enumerate(nullptr, 0, &needed, &count)) {
        count = 0;
        return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    buffer = std::make_unique<BYTE[]>(needed);
    return enumerate(buffer.get(), needed, &needed, &count) != FALSE;
}

}  // namespace

bool CWin32SpoolerService::ListLocalPrinters(StringList& names) {
    std::unique_ptr<BYTE[]> buffer;
    DWORD count = 0;
    const bool listed = EnumerateRecords(
        [](BYTE* records, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, records, size, needed, returned);
        },
        buffer, count);
    if (!listed)
        return false;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.get());
    for (DWORD i = 0; i < count; ++i)
        names.emplace_back(printers[i].pPrinterName);
    return true;
}

bool CWin32SpoolerService::ListPorts(StringList& names) {
    std::unique_ptr<BYTE[]> buffer;
    DWORD count = 0;
    const bool listed = EnumerateRecords(
        [](BYTE* records, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPortsW(nullptr, 2, records, size, needed, returned);
        },
        buffer, count);
    if (!listed)
        return false;
    const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.get());
    for (DWORD i = 0; i < count; ++i)
        names.emplace_back(ports[i].pPortName);
    return true;
}

PrinterHandle CWin32SpoolerService::OpenPrinter(const wchar_t* name) {
    // OpenPrinterW takes the name as a writable string; it gets a copy of its own.
    std::vector<wchar_t> copy(name, name + std::wcslen(name) + 1);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(copy.data(), &printer, &defaults))
        return nullptr;
    return printer;
}

bool CWin32SpoolerService::PurgePrinter(PrinterHandle printer) {
    DWORD needed = 0;
    if (!GetPrinterW(printer, 2, nullptr, 0, &needed) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    auto buffer = std::make_unique<BYTE[]>(needed);
    if (!GetPrinterW(printer, 2, buffer.get(), needed, &needed))
        return false;
    // The purge takes a record that starts as PRINTER_INFO_2W does: the server, printer, share
    // and port names of the queue.
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.get());
    LPWSTR block[4] = {info->pServerName, info->pPrinterName, info->pShareName, info->pPortName};
    return SetPrinterW(printer, 0, reinterpret_cast<LPBYTE>(&block), PRINTER_CONTROL_PURGE) !=
           FALSE;
}

bool CWin32SpoolerService::DeletePrinter(PrinterHandle printer) {
    return ::DeletePrinter(printer) != FALSE;
}

bool CWin32SpoolerService::ClosePrinter(PrinterHandle printer) {
    return ::ClosePrinter(printer) != FALSE;
}

bool CWin32SpoolerService::DeletePrinterDriver(const wchar_t* name) {
    std::vector<wchar_t> copy(name, name + std::wcslen(name) + 1);
    return DeletePrinterDriverExW(nullptr, nullptr, copy.data(), DPD_DELETE_UNUSED_FILES, 3) !=
           FALSE;
}
