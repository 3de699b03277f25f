#pragma once

#include <string>
#include <vector>

// A USB printer as the spooler's device discovery reports it.
struct UsbPrinterDevice {
    std::wstring uri;       // the device URI a queue prints to: "usb://Korvel/RV-90?serial=KV01"
    std::wstring deviceId;  // its IEEE 1284 device ID ("MFG:Korvel;MDL:RV-90;"), may be empty
    std::wstring vid;       // four upper-case hexadecimal digits; empty when the system has none
    std::wstring pid;
};

// What a spooler offers beyond ISpoolerService when the setup makes its queues itself, as on CUPS,
// where a queue is made in one request with its device and its driver (a PPD) instead of by a
// driver installer: the USB printers its discovery finds, the drivers the system ships, and a
// test page. A failing call records its name and the system's error (RecordPlatformFailure).
class IQueueSetupService {
  public:
    virtual ~IQueueSetupService() = default;

    // Appends each USB printer that the discovery finds, asking only the USB backend (the other
    // backends probe the network). False when it cannot be asked; `devices` is then untouched.
    virtual bool ListUsbPrinters(std::vector<UsbPrinterDevice>& devices) = 0;

    // The package name of a driver the system ships with exactly this make and model (on CUPS a
    // ppd-name, "drv:///sample.drv/epson9.ppd"); empty when it ships none. False when the system
    // cannot be asked; `package` is then untouched.
    virtual bool FindSystemDriver(const wchar_t* makeAndModel, std::wstring& package) = 0;

    // Prints the system's own test page on the queue, through the queue's driver.
    virtual bool PrintTestPage(const wchar_t* queue) = 0;

    // Whether the print system has a backend for device URIs of this scheme, known from what is
    // installed, without starting any backend.
    virtual bool HasBackend(const std::wstring& scheme) = 0;
};
