#include "platform/win32/win32_spooler_service.h"

#include <sddl.h>

#include <cstddef>
#include <cwchar>
#include <deque>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

namespace {

// What follows the end of the device and form names in a device mode means nothing, and the
// spooler fills it with whatever its memory held (measured under Wine: the same queue reads back
// with other bytes there in another process). Cleared, so that two device modes compare equal
// when they say the same: a restore is confirmed by comparing what it made with what was saved.
void ClearPastTheNames(std::vector<uint8_t>& deviceMode) {
    const auto clear = [&](size_t offset, size_t count) {
        if (deviceMode.size() < offset + count * sizeof(wchar_t))
            return;
        auto* name = reinterpret_cast<wchar_t*>(deviceMode.data() + offset);
        size_t end = 0;
        while (end < count && name[end] != L'\0')
            ++end;
        for (size_t i = end; i < count; ++i)
            name[i] = L'\0';
    };
    const auto* mode = reinterpret_cast<const DEVMODEW*>(deviceMode.data());
    if (deviceMode.size() < offsetof(DEVMODEW, dmFields))
        return;
    clear(offsetof(DEVMODEW, dmDeviceName), CCHDEVICENAME);
    if (mode->dmSize >= offsetof(DEVMODEW, dmFormName) + CCHFORMNAME * sizeof(wchar_t))
        clear(offsetof(DEVMODEW, dmFormName), CCHFORMNAME);
}

// A handle of the service control manager or of a service, closed with CloseServiceHandle.
struct ServiceCloser {
    void operator()(SC_HANDLE service) const { CloseServiceHandle(service); }
};
using UniqueService = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceCloser>;

// The Print Spooler service's state, as a sentence: whether it runs is the first thing an
// administrator checks when the spooler does not answer.
std::wstring SpoolerServiceState() {
    const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueService service(
        manager ? OpenServiceW(manager.get(), L"Spooler", SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status)) {
        const DWORD error = GetLastError();
        return L"Its state could not be read: " + SystemErrorText(error) + L" (error " +
               std::to_wstring(error) + L").";
    }
    switch (status.dwCurrentState) {
        case SERVICE_STOPPED:
            return L"The service is stopped: start it (services.msc, or sc start Spooler).";
        case SERVICE_START_PENDING:
            return L"The service is starting.";
        case SERVICE_STOP_PENDING:
            return L"The service is stopping.";
        case SERVICE_RUNNING:
            return L"The service is running.";
        case SERVICE_PAUSED:
        case SERVICE_PAUSE_PENDING:
            return L"The service is paused.";
        default:
            return L"The service is in state " + std::to_wstring(status.dwCurrentState) + L".";
    }
}

// A printer handle opened for one method, closed on every way out of it.
struct PrinterCloser {
    void operator()(HANDLE printer) const { ::ClosePrinter(printer); }
};
using UniquePrinter = std::unique_ptr<void, PrinterCloser>;

// The names of a queue's level-2 settings in a record, in the order they are read.
constexpr wchar_t kShare[] = L"share";
constexpr wchar_t kPort[] = L"port";
constexpr wchar_t kComment[] = L"comment";
constexpr wchar_t kLocation[] = L"location";
constexpr wchar_t kSeparator[] = L"separator";
constexpr wchar_t kPrintProcessor[] = L"print-processor";
constexpr wchar_t kDataType[] = L"data-type";
constexpr wchar_t kParameters[] = L"parameters";
constexpr wchar_t kAttributes[] = L"attributes";
constexpr wchar_t kPriority[] = L"priority";
constexpr wchar_t kDefaultPriority[] = L"default-priority";
constexpr wchar_t kStartTime[] = L"start-time";
constexpr wchar_t kUntilTime[] = L"until-time";
constexpr wchar_t kSecurity[] = L"security";

// UploadPrinterDriverPackageW's flag for an upload without any window, as Windows documents it;
// the headers of mingw-w64 declare the function but not its flags.
constexpr DWORD kSilentUpload = 0x00000001;  // UPDP_SILENT_UPLOAD

// What a record keeps of the queue's security descriptor. The audit list is left out: reading
// it needs a privilege the setup does not ask for.
constexpr SECURITY_INFORMATION kSecurityParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The spooler's enumerations take a buffer of a size they name themselves: a first call without
// one says how many bytes the records and their strings need, a second fills exactly that many.
// A first call that succeeds has nothing to return (Wine answers so when there is no queue).
// Returns the filled buffer and the number of records, or false with the failure recorded under
// the name `call`.
template <typename Enumerate>
bool EnumerateRecords(const wchar_t* call, Enumerate enumerate, std::unique_ptr<BYTE[]>& buffer,
                      DWORD& count) {
    DWORD needed = 0;
    count = 0;
    if (enumerate(nullptr, 0, &needed, &count)) {
        count = 0;
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
        RecordWin32Failure(call, error);
        return false;
    }
    buffer = std::make_unique<BYTE[]>(needed);
    if (!enumerate(buffer.get(), needed, &needed, &count)) {
        RecordWin32Failure(call, GetLastError());
        return false;
    }
    return true;
}

// Opens the queue of this name with the access asked for. OpenPrinterW takes the name as a
// writable string; it gets a copy of its own. Null with OpenPrinterW's error in `error`.
HANDLE OpenQueue(const wchar_t* name, ACCESS_MASK access, DWORD& error) {
    std::vector<wchar_t> copy(name, name + std::wcslen(name) + 1);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(copy.data(), &printer, &defaults)) {
        error = GetLastError();
        return nullptr;
    }
    return printer;
}

// The record of one level of an open queue (GetPrinterW), in a buffer of the size the spooler
// asks for. Null with GetPrinterW's error in `error`.
std::unique_ptr<BYTE[]> GetPrinterInfo(HANDLE printer, DWORD level, DWORD& error) {
    DWORD needed = 0;
    if (!GetPrinterW(printer, level, nullptr, 0, &needed)) {
        error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return nullptr;
    }
    auto buffer = std::make_unique<BYTE[]>(needed);
    if (!GetPrinterW(printer, level, buffer.get(), needed, &needed)) {
        error = GetLastError();
        return nullptr;
    }
    return buffer;
}

std::wstring Text(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

// Whether the spooler takes the two names for one: it matches queue and driver names without
// regard to case.
bool SameName(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Appends the values of one key of the queue's printer data. A key that is not there (any
// more) has none.
DWORD ReadValues(HANDLE printer, const std::wstring& key, std::vector<QueueDataValue>& data) {
    DWORD needed = 0;
    DWORD count = 0;
    DWORD error = EnumPrinterDataExW(printer, key.c_str(), nullptr, 0, &needed, &count);
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (error != ERROR_MORE_DATA)
        return error;
    auto buffer = std::make_unique<BYTE[]>(needed);
    error = EnumPrinterDataExW(printer, key.c_str(), buffer.get(), needed, &needed, &count);
    if (error != ERROR_SUCCESS)
        return error;
    const auto* values = reinterpret_cast<const PRINTER_ENUM_VALUESW*>(buffer.get());
    for (DWORD i = 0; i < count; ++i) {
        const BYTE* bytes = values[i].pData;
        data.push_back({key, Text(values[i].pValueName), values[i].dwType,
                        std::vector<uint8_t>(bytes, bytes + values[i].cbData)});
    }
    return ERROR_SUCCESS;
}

// Appends the names of the keys right below `key` ("" for the queue's top) as full key paths.
// A key that is not there (any more) has none.
DWORD ListSubkeys(HANDLE printer, const std::wstring& key, StringList& subkeys) {
    DWORD needed = 0;
    DWORD error = EnumPrinterKeyW(printer, key.c_str(), nullptr, 0, &needed);
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (error != ERROR_MORE_DATA)
        return error;
    // The names follow one another, each ending with a null, and an empty name ends the list.
    const DWORD length = needed / sizeof(wchar_t);
    // Two nulls more than asked for end the list even if the spooler's does not.
    std::vector<wchar_t> names(length + 2, L'\0');
    error = EnumPrinterKeyW(printer, key.c_str(), names.data(), needed, &needed);
    if (error != ERROR_SUCCESS)
        return error;
    for (const wchar_t* name = names.data(); *name != L'\0'; name += std::wcslen(name) + 1)
        subkeys.push_back(key.empty() ? std::wstring(name) : key + L'\\' + name);
    return ERROR_SUCCESS;
}

// Appends the values of `key` and of every key below it, each key's values before its subkeys'.
bool ReadKeyTree(HANDLE printer, const std::wstring& key, std::vector<QueueDataValue>& data) {
    if (!key.empty()) {
        const DWORD error = ReadValues(printer, key, data);
        if (error != ERROR_SUCCESS) {
            RecordWin32Failure(L"EnumPrinterDataExW", error);
            return false;
        }
    }
    StringList subkeys;
    const DWORD error = ListSubkeys(printer, key, subkeys);
    if (error == ERROR_CALL_NOT_IMPLEMENTED) {
        // Wine 8 has no EnumPrinterKeyW: it answers ERROR_CALL_NOT_IMPLEMENTED for every key.
        // The top keys a queue's data lives in by convention are read by name instead (the
        // driver's own, where SetPrinterData writes, and the two published ones a driver or an
        // application writes); keys below them cannot be found there.
        if (key.empty())
            subkeys = {L"PrinterDriverData", SPLDS_DRIVER_KEY, SPLDS_USER_KEY};
    } else if (error != ERROR_SUCCESS) {
        RecordWin32Failure(L"EnumPrinterKeyW", error);
        return false;
    }
    for (const std::wstring& subkey : subkeys) {
        // The spooler keeps its own copy of the queue's settings under this key and alone
        // writes it; the settings themselves go back through AddPrinterW.
        if (key.empty() && SameName(subkey.c_str(), SPLDS_SPOOLER_KEY))
            continue;
        if (!ReadKeyTree(printer, subkey, data))
            return false;
    }
    return true;
}

// The driver's INF in the system's driver store, or empty when the spooler keeps none. Windows
// before Vista has no level 8 of the driver record; Wine 8 has it but leaves the path null.
bool ReadDriverPackage(HANDLE printer, std::wstring& package) {
    DWORD needed = 0;
    if (!GetPrinterDriverW(printer, nullptr, 8, nullptr, 0, &needed)) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_LEVEL || error == ERROR_NOT_SUPPORTED) {
            package.clear();
            return true;
        }
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            RecordWin32Failure(L"GetPrinterDriverW", error);
            return false;
        }
    }
    auto buffer = std::make_unique<BYTE[]>(needed);
    if (!GetPrinterDriverW(printer, nullptr, 8, buffer.get(), needed, &needed)) {
        RecordWin32Failure(L"GetPrinterDriverW", GetLastError());
        return false;
    }
    package = Text(reinterpret_cast<const DRIVER_INFO_8W*>(buffer.get())->pszInfPath);
    return true;
}

// The current user's default printer, or empty when there is none. The name comes back as it
// was given, in whatever case (measured in Wine 8: SetDefaultPrinterW with the name in capitals,
// and GetDefaultPrinterW answers in capitals). The first call says the size of the name; a
// default that goes between the two calls leaves none.
bool ReadDefaultName(std::wstring& name) {
    DWORD size = 0;
    if (!GetDefaultPrinterW(nullptr, &size)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            name.clear();
            return true;
        }
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            RecordWin32Failure(L"GetDefaultPrinterW", error);
            return false;
        }
    }
    std::vector<wchar_t> read(size + 1, L'\0');
    if (!GetDefaultPrinterW(read.data(), &size)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            name.clear();
            return true;
        }
        RecordWin32Failure(L"GetDefaultPrinterW", error);
        return false;
    }
    name = read.data();
    return true;
}

// Whether the queue of this name is the current user's default printer, the spooler matching
// the names without regard to case.
bool ReadIsDefault(const wchar_t* name, bool& isDefault) {
    std::wstring defaultName;
    if (!ReadDefaultName(defaultName))
        return false;
    isDefault = !defaultName.empty() && SameName(defaultName.c_str(), name);
    return true;
}

// The security descriptor as SDDL text, or empty when the spooler gave none (Wine 8 never does).
bool SecurityText(PSECURITY_DESCRIPTOR descriptor, std::wstring& text) {
    text.clear();
    if (descriptor == nullptr)
        return true;
    wchar_t* sddl = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                              kSecurityParts, &sddl, nullptr)) {
        RecordWin32Failure(L"ConvertSecurityDescriptorToStringSecurityDescriptorW", GetLastError());
        return false;
    }
    const UniqueLocal<wchar_t> owned(sddl);
    text = sddl;
    return true;
}

// A setting of the record as a number written in decimal, as ReadQueue writes them.
bool ParseNumber(const std::wstring* text, DWORD& number) {
    if (text == nullptr || text->empty() || text->size() > 10)
        return false;
    unsigned long long value = 0;
    for (wchar_t digit : *text) {
        if (digit < L'0' || digit > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(digit - L'0');
    }
    if (value > 0xFFFFFFFFull)
        return false;
    number = static_cast<DWORD>(value);
    return true;
}

// A setting of the record as a string AddPrinterW can take (it takes writable strings): null for
// an empty or missing setting, which the spooler takes for none.
wchar_t* SettingText(std::deque<std::wstring>& copies, const QueueRecord& record,
                     const wchar_t* key) {
    const std::wstring* value = record.Setting(key);
    if (value == nullptr || value->empty())
        return nullptr;
    copies.push_back(*value);
    return copies.back().data();
}

}  // namespace

bool CWin32SpoolerService::ListLocalPrinters(StringList& names) {
    std::unique_ptr<BYTE[]> buffer;
    DWORD count = 0;
    const bool listed = EnumerateRecords(
        L"EnumPrintersW",
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
        L"EnumPortsW",
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
    DWORD error = ERROR_SUCCESS;
    HANDLE printer = OpenQueue(name, PRINTER_ALL_ACCESS, error);
    if (printer == nullptr)
        RecordWin32Failure(L"OpenPrinterW", error);
    return printer;
}

bool CWin32SpoolerService::PurgePrinter(PrinterHandle printer) {
    DWORD error = ERROR_SUCCESS;
    const auto buffer = GetPrinterInfo(printer, 2, error);
    if (!buffer) {
        RecordWin32Failure(L"GetPrinterW", error);
        return false;
    }
    // The purge takes a record that starts as PRINTER_INFO_2W does: the server, printer, share
    // and port names of the queue.
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.get());
    LPWSTR block[4] = {info->pServerName, info->pPrinterName, info->pShareName, info->pPortName};
    if (!SetPrinterW(printer, 0, reinterpret_cast<LPBYTE>(&block), PRINTER_CONTROL_PURGE)) {
        RecordWin32Failure(L"SetPrinterW", GetLastError());
        return false;
    }
    return true;
}

bool CWin32SpoolerService::DeletePrinter(PrinterHandle printer) {
    if (!::DeletePrinter(printer)) {
        RecordWin32Failure(L"DeletePrinter", GetLastError());
        return false;
    }
    return true;
}

bool CWin32SpoolerService::ClosePrinter(PrinterHandle printer) {
    if (!::ClosePrinter(printer)) {
        RecordWin32Failure(L"ClosePrinter", GetLastError());
        return false;
    }
    return true;
}

bool CWin32SpoolerService::DeletePrinterDriver(const wchar_t* name) {
    std::vector<wchar_t> copy(name, name + std::wcslen(name) + 1);
    if (!DeletePrinterDriverExW(nullptr, nullptr, copy.data(), DPD_DELETE_UNUSED_FILES, 3)) {
        RecordWin32Failure(L"DeletePrinterDriverExW", GetLastError());
        return false;
    }
    return true;
}

QueueLookup CWin32SpoolerService::LookUpQueue(const wchar_t* name, QueueState& state) {
    // Reading the queue's record needs no more than the right to print to it.
    DWORD error = ERROR_SUCCESS;
    const UniquePrinter printer(OpenQueue(name, PRINTER_ACCESS_USE, error));
    // The spooler's answer for a name it has no queue of. A queue deleted between the open and
    // the read gives it too (measured in Wine 8, where a deleted queue goes at once even while a
    // handle of it is open).
    if (!printer && error == ERROR_INVALID_PRINTER_NAME)
        return QueueLookup::kAbsent;
    if (!printer) {
        RecordWin32Failure(L"OpenPrinterW", error);
        return QueueLookup::kUnknown;
    }
    const auto buffer = GetPrinterInfo(printer.get(), 2, error);
    if (!buffer && error == ERROR_INVALID_PRINTER_NAME)
        return QueueLookup::kAbsent;
    if (!buffer) {
        RecordWin32Failure(L"GetPrinterW", error);
        return QueueLookup::kUnknown;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.get());
    state.port = Text(info->pPortName);
    state.pendingDeletion = (info->Status & PRINTER_STATUS_PENDING_DELETION) != 0;
    return QueueLookup::kPresent;
}

bool CWin32SpoolerService::ReadQueue(const wchar_t* name, QueueRecord& record) {
    // Reading the security descriptor needs READ_CONTROL besides the right to print.
    DWORD error = ERROR_SUCCESS;
    const UniquePrinter printer(OpenQueue(name, PRINTER_READ, error));
    if (!printer) {
        RecordWin32Failure(L"OpenPrinterW", error);
        return false;
    }
    const auto buffer = GetPrinterInfo(printer.get(), 2, error);
    if (!buffer) {
        RecordWin32Failure(L"GetPrinterW", error);
        return false;
    }
    const auto& info = *reinterpret_cast<const PRINTER_INFO_2W*>(buffer.get());

    QueueRecord read;
    read.name = Text(info.pPrinterName);
    read.driver = Text(info.pDriverName);
    std::wstring security;
    if (!SecurityText(info.pSecurityDescriptor, security))
        return false;
    read.settings = {
        {kShare, Text(info.pShareName)},
        {kPort, Text(info.pPortName)},
        {kComment, Text(info.pComment)},
        {kLocation, Text(info.pLocation)},
        {kSeparator, Text(info.pSepFile)},
        {kPrintProcessor, Text(info.pPrintProcessor)},
        {kDataType, Text(info.pDatatype)},
        {kParameters, Text(info.pParameters)},
        {kAttributes, std::to_wstring(info.Attributes)},
        {kPriority, std::to_wstring(info.Priority)},
        {kDefaultPriority, std::to_wstring(info.DefaultPriority)},
        {kStartTime, std::to_wstring(info.StartTime)},
        {kUntilTime, std::to_wstring(info.UntilTime)},
        {kSecurity, security},
    };
    if (info.pDevMode != nullptr) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(info.pDevMode);
        read.deviceMode.assign(bytes, bytes + info.pDevMode->dmSize + info.pDevMode->dmDriverExtra);
        ClearPastTheNames(read.deviceMode);
    }
    if (!ReadKeyTree(printer.get(), L"", read.data))
        return false;
    if (!ReadDriverPackage(printer.get(), read.driverPackage))
        return false;
    if (!ReadIsDefault(read.name.c_str(), read.isDefault))
        return false;
    record = std::move(read);
    return true;
}

bool CWin32SpoolerService::IsDriverInstalled(const wchar_t* name) {
    std::unique_ptr<BYTE[]> buffer;
    DWORD count = 0;
    // No environment is the environment of the calling program: a 64-bit program asks for the
    // drivers of its own platform.
    const bool listed = EnumerateRecords(
        L"EnumPrinterDriversW",
        [](BYTE* records, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrinterDriversW(nullptr, nullptr, 1, records, size, needed, returned);
        },
        buffer, count);
    if (!listed)
        return false;
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_1W*>(buffer.get());
    for (DWORD i = 0; i < count; ++i) {
        if (drivers[i].pName != nullptr && SameName(drivers[i].pName, name))
            return true;
    }
    return false;
}

bool CWin32SpoolerService::InstallDriverFromPackage(const QueueRecord& record) {
    constexpr wchar_t kCall[] = L"InstallPrinterDriverFromPackageW";
    // The spooler keeps no package for a driver installed without one (and Wine keeps none).
    if (record.driverPackage.empty()) {
        RecordWin32Failure(kCall, ERROR_INVALID_PARAMETER);
        return false;
    }
    // The function came with Vista and the import libraries of mingw-w64 do not declare it (nor
    // does Wine 8 export it), so it is looked up at run time. Its type, as Windows documents it:
    using InstallFromPackage = HRESULT(WINAPI*)(LPCWSTR server, LPCWSTR infPath, LPCWSTR driverName,
                                                LPCWSTR environment, DWORD flags);
    // From the system folder only: the program's folder may hold a planted winspool.drv.
    const UniqueModule winspool(
        LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!winspool) {
        RecordWin32Failure(L"LoadLibraryExW", GetLastError());
        return false;
    }
    const auto install = reinterpret_cast<InstallFromPackage>(reinterpret_cast<void*>(
        GetProcAddress(winspool.get(), "InstallPrinterDriverFromPackageW")));
    if (install == nullptr) {
        RecordWin32Failure(L"GetProcAddress InstallPrinterDriverFromPackageW", GetLastError());
        return false;
    }
    const HRESULT result =
        install(nullptr, record.driverPackage.c_str(), record.driver.c_str(), nullptr, 0);
    if (FAILED(result)) {
        RecordWin32Failure(kCall, static_cast<DWORD>(result));
        return false;
    }
    return true;
}

bool CWin32SpoolerService::AddQueue(const QueueRecord& record) {
    DWORD attributes = 0;
    DWORD priority = 0;
    DWORD defaultPriority = 0;
    DWORD startTime = 0;
    DWORD untilTime = 0;
    if (!ParseNumber(record.Setting(kAttributes), attributes) ||
        !ParseNumber(record.Setting(kPriority), priority) ||
        !ParseNumber(record.Setting(kDefaultPriority), defaultPriority) ||
        !ParseNumber(record.Setting(kStartTime), startTime) ||
        !ParseNumber(record.Setting(kUntilTime), untilTime)) {
        RecordWin32Failure(L"queue record numbers", ERROR_INVALID_DATA);
        return false;
    }
    // A device mode says its own size; the spooler reads that many bytes from it.
    std::vector<uint8_t> deviceMode = record.deviceMode;
    if (!deviceMode.empty()) {
        const auto* mode = reinterpret_cast<const DEVMODEW*>(deviceMode.data());
        if (deviceMode.size() < offsetof(DEVMODEW, dmFields) ||
            deviceMode.size() != static_cast<size_t>(mode->dmSize) + mode->dmDriverExtra) {
            RecordWin32Failure(L"queue record device mode", ERROR_INVALID_DATA);
            return false;
        }
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring* security = record.Setting(kSecurity);
    if (security != nullptr && !security->empty() &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(security->c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        RecordWin32Failure(L"ConvertStringSecurityDescriptorToSecurityDescriptorW", GetLastError());
        return false;
    }
    const UniqueLocal<void> ownedDescriptor(descriptor);

    // AddPrinterW takes writable strings; these copies live until it returns (a deque moves none
    // of them when it grows).
    std::deque<std::wstring> copies;
    PRINTER_INFO_2W info{};
    copies.push_back(record.name);
    info.pPrinterName = copies.back().data();
    copies.push_back(record.driver);
    info.pDriverName = copies.back().data();
    info.pShareName = SettingText(copies, record, kShare);
    info.pPortName = SettingText(copies, record, kPort);
    info.pComment = SettingText(copies, record, kComment);
    info.pLocation = SettingText(copies, record, kLocation);
    info.pSepFile = SettingText(copies, record, kSeparator);
    info.pPrintProcessor = SettingText(copies, record, kPrintProcessor);
    info.pDatatype = SettingText(copies, record, kDataType);
    info.pParameters = SettingText(copies, record, kParameters);
    info.pSecurityDescriptor = descriptor;
    info.Attributes = attributes;
    info.Priority = priority;
    info.DefaultPriority = defaultPriority;
    info.StartTime = startTime;
    info.UntilTime = untilTime;
    // The device mode given here becomes the queue's default for every user, as PRINTER_INFO_8
    // would set it (Wine 8 keeps it too: GetPrinterW gives it back unchanged). SetPrinterW level
    // 2 or 9 would set only the calling user's own.
    info.pDevMode = deviceMode.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(deviceMode.data());

    const UniquePrinter printer(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    if (!printer) {
        RecordWin32Failure(L"AddPrinterW", GetLastError());
        return false;
    }
    for (const QueueDataValue& value : record.data) {
        std::vector<uint8_t> bytes = value.bytes;  // SetPrinterDataExW takes a writable buffer
        const DWORD error =
            SetPrinterDataExW(printer.get(), value.key.c_str(), value.name.c_str(), value.type,
                              bytes.data(), static_cast<DWORD>(bytes.size()));
        if (error != ERROR_SUCCESS) {
            RecordWin32Failure(L"SetPrinterDataExW", error);
            // A queue made only in part would pass for the one that was saved: it goes again.
            // The failure of the data is the one to report, whatever the deletion answers.
            ::DeletePrinter(printer.get());
            return false;
        }
    }
    return true;
}

bool CWin32SpoolerService::SetDefaultPrinter(const wchar_t* name) {
    if (!SetDefaultPrinterW(name)) {
        RecordWin32Failure(L"SetDefaultPrinterW", GetLastError());
        return false;
    }
    return true;
}

bool CWin32SpoolerService::ReadDefaultPrinter(std::wstring& name) {
    return ReadDefaultName(name);
}

bool CWin32SpoolerService::StageDriverPackage(const wchar_t* infPath) {
    // The call answers with the path of the INF's copy in the driver store, which nothing here
    // needs. Windows does not say whether a call that found the buffer too small for that path
    // staged the package, so it is made again with a buffer of the size it asked for.
    std::vector<wchar_t> stored(MAX_PATH);
    HRESULT result = E_FAIL;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ULONG size = static_cast<ULONG>(stored.size());
        // No environment is that of the calling program, as for the driver list. No window is
        // shown: the console program may run where nobody sees one.
        result = UploadPrinterDriverPackageW(nullptr, infPath, nullptr, kSilentUpload, nullptr,
                                             stored.data(), &size);
        if (result != HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) || size <= stored.size())
            break;
        stored.resize(size);
    }
    // Wine 8 stages nothing: it answers E_NOTIMPL, for an INF that is there as for one that is
    // not (measured).
    if (FAILED(result)) {
        RecordWin32Failure(L"UploadPrinterDriverPackageW", static_cast<DWORD>(result));
        return false;
    }
    return true;
}

std::wstring CWin32SpoolerService::UnreachableReason(
    const std::optional<PlatformFailure>& failure) {
    std::wstring sentence = L"The Print Spooler service (Spooler) could not be asked";
    if (failure)
        sentence += L" (" + failure->call + L", error " + std::to_wstring(failure->code) + L")" +
                    (failure->text.empty() ? L"." : L": " + failure->text);
    else
        sentence += L".";
    return sentence + L" " + SpoolerServiceState();
}
