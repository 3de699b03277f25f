#pragma once

#include <cstdint>

#include "platform/interface_registry_service.h"
#include "platform/usb_printer_service.h"
#include "platform/text_types.h"

// The values that can be read from an entry of the USB printer interface class in the registry;
// each names a value and the chain of subkeys below the entry that holds it.
enum class InterfaceValue : uint8_t {
    DeviceInstance = 0,   // "DeviceInstance" in the entry itself
    SymbolicLink = 1,     // "SymbolicLink" under "#"
    Linked = 2,           // "Linked" under "#\Control"
    PortDescription = 3,  // "Port Description" under "#\Device Parameters"
    PortNumber = 4,       // "Port Number" under "#\Device Parameters"
};

// Finds a supported printer among the USB printer interfaces, reads the model it reports, and
// finds its spooler port. A device is held open only during one detection.
class CUSBPort {
  public:
    CUSBPort();
    // Nothing opened by this class outlives the call that opened it; a handle still open here
    // could only come from a misuse, and is closed rather than leaked.
    ~CUSBPort();
    CUSBPort(const CUSBPort&) = delete;
    CUSBPort& operator=(const CUSBPort&) = delete;

    // Opens the first present, supported USB printer interface. 1: it is open in deviceHandle and
    // vid and pid hold its identifiers. 0: nothing is open.
    virtual int OpenDevice(CString& vid, CString& pid);
    // Reads the open device's IEEE 1284 device ID, waiting at most 500 ms. 1 or 0.
    int GetDeviceId(uint8_t* buffer, uint32_t bufferSize, uint32_t& bytesReturned);
    // Closes the open device: 1, or 0 when none was open.
    int Close();

    // The spooler port ("USB001") of the connected supported printer. 1 or 0 (portName unchanged).
    int FindPortName(CString& portName);
    int ReadInterfaceValue(InterfaceValue selector, int index, wchar_t* out, int capacity,
                           int& noMore);
    RegistryKey OpenKeyPath(RegistryKey parent, const wchar_t* subkeys);
    int QueryValue(RegistryKey key, InterfaceValue selector, wchar_t* out, int capacity);

    // The VID and PID of a device path or device instance ID, upper-cased. 1 or 0 (outputs kept).
    int ParseVidPid(const wchar_t* text, CString& vid, CString& pid);
    // Whether a device path names a pair of supportedDevices. vid and pid as ParseVidPid sets them.
    int IsSupportedDevice(const wchar_t* path, CString& vid, CString& pid);

    DeviceHandle deviceHandle;
};

// A connected supported USB printer as detection finds it.
struct DetectedUsbPrinter {
    CString vid;  // "FFF0", upper case
    CString pid;
    CString model;  // the MDL value of its device ID, empty when it reported none
};

// Finds the first connected supported USB printer and reads the model it reports; the device is
// closed again before this returns. False when there is none (`printer` untouched).
bool DetectUsbPrinter(DetectedUsbPrinter& printer);
