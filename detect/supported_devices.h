#pragma once

#include <array>

// One supported printer, by its USB vendor and product identifiers: four upper-case hexadecimal
// digits each, since they are compared exactly with upper-cased device texts.
struct SupportedDevice {
    const wchar_t* vid;
    const wchar_t* pid;
};

// The printers this setup supports; only the pair names a device.
extern const std::array<SupportedDevice, 8> supportedDevices;
