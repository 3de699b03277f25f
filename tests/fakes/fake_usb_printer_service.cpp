#include "tests/fakes/fake_usb_printer_service.h"

#include <algorithm>
#include <cstring>

InterfaceListHandle CFakeUsbPrinterService::OpenInterfaceList() {
    if (failList)
        return nullptr;
    auto list = reinterpret_cast<InterfaceListHandle>(m_nextHandle++);
    m_openLists.insert(list);
    return list;
}

InterfacePathResult CFakeUsbPrinterService::GetInterfacePath(InterfaceListHandle list,
                                                             uint32_t index, std::wstring& path) {
    if (m_openLists.count(list) == 0 || index >= interfaces.size())
        return InterfacePathResult::kEnd;
    if (interfaces[index].unreadable)
        return InterfacePathResult::kUnreadable;
    path = interfaces[index].path;
    return InterfacePathResult::kFound;
}

void CFakeUsbPrinterService::CloseInterfaceList(InterfaceListHandle list) {
    if (m_openLists.erase(list) == 0)
        ++closeErrors;
}

DeviceHandle CFakeUsbPrinterService::OpenDevice(const std::wstring& path) {
    const auto it = std::find_if(interfaces.begin(), interfaces.end(),
                                 [&](const FakeUsbInterface& i) { return i.path == path; });
    if (it == interfaces.end() || it->heldElsewhere)
        return InvalidDeviceHandle();
    // The handle's value is the interface's index plus one, above the list handles' range.
    auto device = reinterpret_cast<DeviceHandle>(0x100000 + (it - interfaces.begin()));
    if (m_openDevices.count(device) != 0)
        return InvalidDeviceHandle();  // exclusive
    m_openDevices.insert(device);
    openedPaths.push_back(path);
    return device;
}

const FakeUsbInterface* CFakeUsbPrinterService::InterfaceOf(DeviceHandle device) const {
    if (m_openDevices.count(device) == 0)
        return nullptr;
    return &interfaces[reinterpret_cast<uintptr_t>(device) - 0x100000];
}

bool CFakeUsbPrinterService::RequestDeviceId(DeviceHandle device, uint8_t* buffer, uint32_t size,
                                             uint32_t& bytesReturned) {
    ++deviceIdRequests;
    const FakeUsbInterface* target = InterfaceOf(device);
    if (target == nullptr || !target->deviceIdReply)
        return false;
    const std::string& reply = *target->deviceIdReply;
    const uint32_t length = std::min<uint32_t>(size, static_cast<uint32_t>(reply.size()));
    std::memcpy(buffer, reply.data(), length);
    // The rest of the buffer gets junk that would end a model ("MDL:RV-9" + "JUNK;..." reads as
    // "RV-9JUNK"), so that a reader going past the bytes returned finds something there.
    static constexpr char kJunk[] = "JUNK;";
    for (uint32_t i = length; i < size; ++i)
        buffer[i] = static_cast<uint8_t>(kJunk[(i - length) % (sizeof kJunk - 1)]);
    bytesReturned = length;
    return true;
}

void CFakeUsbPrinterService::CloseDevice(DeviceHandle device) {
    if (m_openDevices.erase(device) == 0)
        ++closeErrors;
}

std::string CFakeUsbPrinterService::DeviceIdReply(const std::string& text) {
    const size_t length = text.size() + 2;
    std::string reply;
    reply.push_back(static_cast<char>((length >> 8) & 0xFF));
    reply.push_back(static_cast<char>(length & 0xFF));
    return reply + text;
}
