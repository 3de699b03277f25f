#include "tests/fakes/fake_interface_registry_service.h"

#include <algorithm>
#include <cstring>

CFakeInterfaceRegistryService::Key& CFakeInterfaceRegistryService::Key::Subkey(
    const std::wstring& subkeyName) {
    for (Key& key : subkeys) {
        if (key.name == subkeyName)
            return key;
    }
    subkeys.push_back(Key{subkeyName, {}, {}});
    return subkeys.back();
}

CFakeInterfaceRegistryService::Value CFakeInterfaceRegistryService::String(
    const std::wstring& text) {
    Value value{kRegistryString, {}};
    for (wchar_t c : text + L'\0') {
        value.data.push_back(static_cast<uint8_t>(c & 0xFF));
        value.data.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return value;
}

CFakeInterfaceRegistryService::Value CFakeInterfaceRegistryService::Dword(uint32_t number) {
    Value value{kRegistryDword, std::vector<uint8_t>(4)};
    std::memcpy(value.data.data(), &number, 4);
    return value;
}

CFakeInterfaceRegistryService::Key& CFakeInterfaceRegistryService::AddEntry(
    const std::wstring& name, const std::optional<std::wstring>& deviceInstance,
    const std::optional<Value>& linked, const std::optional<Value>& portNumber) {
    Key& entry = classKey.Subkey(name);
    if (deviceInstance)
        entry.values[L"DeviceInstance"] = String(*deviceInstance);
    Key& hash = entry.Subkey(L"#");
    Key& control = hash.Subkey(L"Control");
    if (linked)
        control.values[L"Linked"] = *linked;
    Key& parameters = hash.Subkey(L"Device Parameters");
    if (portNumber)
        parameters.values[L"Port Number"] = *portNumber;
    return entry;
}

CFakeInterfaceRegistryService::Key* CFakeInterfaceRegistryService::KeyOf(RegistryKey key) const {
    const auto it = m_open.find(key);
    return it == m_open.end() ? nullptr : it->second;
}

RegistryKey CFakeInterfaceRegistryService::OpenClassKey() {
    ++classKeyOpens;
    if (failClassKey)
        return nullptr;
    auto handle = reinterpret_cast<RegistryKey>(m_nextHandle++);
    m_open[handle] = &classKey;
    return handle;
}

SubkeyResult CFakeInterfaceRegistryService::EnumSubkey(RegistryKey key, uint32_t index,
                                                       wchar_t* name, uint32_t capacity) {
    Key* parent = KeyOf(key);
    if (parent == nullptr)
        return SubkeyResult::kFailed;
    if (index >= parent->subkeys.size())
        return SubkeyResult::kNoMore;
    const std::wstring& found = parent->subkeys[index].name;
    if (found.size() >= capacity)
        return SubkeyResult::kFailed;  // as ERROR_MORE_DATA
    std::copy(found.begin(), found.end(), name);
    name[found.size()] = L'\0';
    return SubkeyResult::kFound;
}

RegistryKey CFakeInterfaceRegistryService::OpenSubkey(RegistryKey parent, const wchar_t* name) {
    Key* key = KeyOf(parent);
    if (key == nullptr)
        return nullptr;
    for (Key& subkey : key->subkeys) {
        if (subkey.name == name) {
            auto handle = reinterpret_cast<RegistryKey>(m_nextHandle++);
            m_open[handle] = &subkey;
            return handle;
        }
    }
    return nullptr;
}

bool CFakeInterfaceRegistryService::QueryValue(RegistryKey key, const wchar_t* name, uint8_t* data,
                                               uint32_t capacity, uint32_t& size, uint32_t& type) {
    Key* holder = KeyOf(key);
    if (holder == nullptr)
        return false;
    const auto it = holder->values.find(name);
    if (it == holder->values.end() || it->second.data.size() > capacity)
        return false;
    std::copy(it->second.data.begin(), it->second.data.end(), data);
    size = static_cast<uint32_t>(it->second.data.size());
    type = it->second.type;
    return true;
}

void CFakeInterfaceRegistryService::CloseKey(RegistryKey key) {
    if (m_open.erase(key) == 0)
        ++closeErrors;
}
