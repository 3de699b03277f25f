#pragma once

#include "platform/interface_registry_service.h"
#include "platform/usb_printer_service.h"

// Pass every call on to a real service and count what was opened against what was closed, so that
// tests over the real backends can tell that nothing leaked (Wine does not count handles).
class CCountingUsbPrinterService : public IUsbPrinterService {
  public:
    explicit CCountingUsbPrinterService(IUsbPrinterService& inner) : m_inner(inner) {}

    int open = 0;  // lists and devices opened and not yet closed

    InterfaceListHandle OpenInterfaceList() override {
        InterfaceListHandle list = m_inner.OpenInterfaceList();
        if (list != nullptr)
            ++open;
        return list;
    }
    InterfacePathResult GetInterfacePath(InterfaceListHandle list, uint32_t index,
                                         std::wstring& path) override {
        return m_inner.GetInterfacePath(list, index, path);
    }
    void CloseInterfaceList(InterfaceListHandle list) override {
        --open;
        m_inner.CloseInterfaceList(list);
    }
    DeviceHandle OpenDevice(const std::wstring& path) override {
        DeviceHandle device = m_inner.OpenDevice(path);
        if (device != InvalidDeviceHandle())
            ++open;
        return device;
    }
    bool RequestDeviceId(DeviceHandle device, uint8_t* buffer, uint32_t size,
                         uint32_t& bytesReturned) override {
        return m_inner.RequestDeviceId(device, buffer, size, bytesReturned);
    }
    void CloseDevice(DeviceHandle device) override {
        --open;
        m_inner.CloseDevice(device);
    }

  private:
    IUsbPrinterService& m_inner;
};

class CCountingRegistryService : public IInterfaceRegistryService {
  public:
    explicit CCountingRegistryService(IInterfaceRegistryService& inner) : m_inner(inner) {}

    int open = 0;  // keys opened and not yet closed

    RegistryKey OpenClassKey() override { return Counted(m_inner.OpenClassKey()); }
    SubkeyResult EnumSubkey(RegistryKey key, uint32_t index, wchar_t* name,
                            uint32_t capacity) override {
        return m_inner.EnumSubkey(key, index, name, capacity);
    }
    RegistryKey OpenSubkey(RegistryKey parent, const wchar_t* name) override {
        return Counted(m_inner.OpenSubkey(parent, name));
    }
    bool QueryValue(RegistryKey key, const wchar_t* name, uint8_t* data, uint32_t capacity,
                    uint32_t& size, uint32_t& type) override {
        return m_inner.QueryValue(key, name, data, capacity, size, type);
    }
    void CloseKey(RegistryKey key) override {
        --open;
        m_inner.CloseKey(key);
    }

  private:
    RegistryKey Counted(RegistryKey key) {
        if (key != nullptr)
            ++open;
        return key;
    }

    IInterfaceRegistryService& m_inner;
};
