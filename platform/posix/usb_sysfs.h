#pragma once

#include <string>

// The USB vendor and product IDs of the device behind one printer that CUPS's usb backend reports.
// Neither its device URI nor its IEEE 1284 device ID carries them, so they are read from the
// kernel's USB devices folder (normally /sys/bus/usb/devices), whose device folders hold idVendor,
// idProduct and the device's own strings.
//
// A device is found by its `serial` file when the URI names a serial number
// ("usb://Korvel/RV-90?serial=KV000001&interface=1"), otherwise by its `manufacturer` and
// `product` files against the device ID's MFG and MDL (without regard to case or to surrounding
// blanks). Exactly one device must answer: then true, with `vid` and `pid` four upper-case
// hexadecimal digits. False, leaving both untouched, when none or several do, so that one printer
// is never taken for another.
bool FindUsbDeviceIds(const std::string& devicesFolder, const std::string& uri,
                      const std::string& deviceId, std::string& vid, std::string& pid);
