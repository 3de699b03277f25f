#include "platform/win32/win32_install_record_service.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

namespace {

constexpr wchar_t kRecordsKey[] = L"SOFTWARE\\Korvel\\Printer Setup\\Printers\\";

// The record's fields and the names of their values, in the order they are written. A record
// written before a value was added lacks it, and reads with it empty.
struct Field {
    const wchar_t* value;
    std::wstring InstallRecord::*member;
    bool optional;
};
constexpr Field kFields[] = {
    {L"PrinterName", &InstallRecord::printerName, false},
    {L"Model", &InstallRecord::model, false},
    {L"Port", &InstallRecord::port, false},
    {L"DriverVersion", &InstallRecord::driverVersion, false},
    {L"InstalledAt", &InstallRecord::installedAt, false},
    {L"Version", &InstallRecord::version, true},
    {L"SetupVersion", &InstallRecord::setupVersion, true},
};

// The record's key below HKLM, or false with the failure recorded when the printer name cannot
// be a key's name. A backslash would make it a path of keys, and an empty name would name the
// key of all the records.
bool RecordKey(const std::wstring& printerName, std::wstring& key) {
    if (printerName.empty() || printerName.find(L'\\') != std::wstring::npos) {
        RecordWin32Failure(L"printer name check", ERROR_INVALID_NAME);
        return false;
    }
    key = kRecordsKey + printerName;
    return true;
}

// A REG_SZ value, terminated whatever was stored: RegGetValueW adds a missing terminator and
// counts it in the size it asks for. A value that grows between the two calls is read again.
LSTATUS ReadText(HKEY key, const wchar_t* name, std::wstring& text) {
    DWORD size = 0;
    LSTATUS status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    std::vector<wchar_t> buffer;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
        if (status == ERROR_SUCCESS) {
            text.assign(buffer.data());
            break;
        }
        if (status != ERROR_MORE_DATA)
            break;
    }
    return status;
}

}  // namespace

bool CWin32InstallRecordService::Write(const InstallRecord& record) {
    std::wstring path;
    if (!RecordKey(record.printerName, path))
        return false;
    // An existing record is written over value by value: the registry has no way to change
    // several values at once, and deleting the key first would leave no record at all when a
    // write then failed.
    HKEY raw = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        RecordWin32Failure(L"RegCreateKeyExW", status);
        return false;
    }
    const UniqueKey key(raw);
    for (const Field& field : kFields) {
        const std::wstring& text = record.*field.member;
        status = RegSetValueExW(key.get(), field.value, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS) {
            RecordWin32Failure(L"RegSetValueExW", status);
            return false;
        }
    }
    return true;
}

bool CWin32InstallRecordService::Read(const std::wstring& printerName, InstallRecord& record) {
    std::wstring path;
    if (!RecordKey(printerName, path))
        return false;
    HKEY raw = nullptr;
    LSTATUS status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw);
    if (status != ERROR_SUCCESS) {
        RecordWin32Failure(L"RegOpenKeyExW", status);
        return false;
    }
    const UniqueKey key(raw);
    InstallRecord read;
    for (const Field& field : kFields) {
        status = ReadText(key.get(), field.value, read.*field.member);
        if (status == ERROR_FILE_NOT_FOUND && field.optional)
            continue;
        if (status != ERROR_SUCCESS) {
            RecordWin32Failure(L"RegGetValueW", status);
            return false;
        }
    }
    record = std::move(read);
    return true;
}

bool CWin32InstallRecordService::Delete(const std::wstring& printerName) {
    std::wstring path;
    if (!RecordKey(printerName, path))
        return false;
    // Only the printer's own key goes. The keys above it stay, empty or not: other records and
    // other programs of ours may use them, and a key cannot be deleted while it has subkeys.
    const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        RecordWin32Failure(L"RegDeleteKeyExW", status);
        return false;
    }
    return true;
}
