#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One value of a queue's printer data (on Windows the trays, forms and options a driver keeps
// under the queue's keys).
struct QueueDataValue {
    std::wstring key;
    std::wstring name;
    uint32_t type = 0;
    std::vector<uint8_t> bytes;

    bool operator==(const QueueDataValue& other) const {
        return key == other.key && name == other.name && type == other.type && bytes == other.bytes;
    }
};

// Everything of an installed print queue that its user would lose with it, as the removal saves
// it and the restore makes the queue again. The engine reads only the name, the driver, its
// package and whether the queue was the default; the rest belongs to the backend that read it and
// goes back to the same kind of backend: on Windows the queue's level-2 settings, its device mode
// and printer data; on Linux a CUPS queue's device URI, options, description and location.
struct QueueRecord {
    std::wstring name;
    // The driver the queue prints with, and where the system keeps that driver's package (on
    // Windows its INF in the driver store, from which a deleted driver can be put back).
    std::wstring driver;
    std::wstring driverPackage;
    bool isDefault = false;
    // The backend's settings by name, in the backend's order. Values are text of any length and
    // may hold any character, line breaks included.
    std::vector<std::pair<std::wstring, std::wstring>> settings;
    // Opaque to the engine: the Windows device mode of the queue (paper, orientation, ...).
    std::vector<uint8_t> deviceMode;
    std::vector<QueueDataValue> data;
    // Whether the record holds the queue's whole device URI. CUPS reports a device URI without
    // the user info it may carry ("user:password@"); only an account that can read the
    // scheduler's printers.conf sees it whole. A queue made again from a record without it would
    // lose those credentials. It tells of the reading, not of the queue: it is neither compared
    // nor kept in a backup.
    bool deviceUriWhole = true;

    // The setting of that name, or null.
    const std::wstring* Setting(const std::wstring& key) const {
        for (const auto& setting : settings) {
            if (setting.first == key)
                return &setting.second;
        }
        return nullptr;
    }

    bool operator==(const QueueRecord& other) const {
        return name == other.name && driver == other.driver &&
               driverPackage == other.driverPackage && isDefault == other.isDefault &&
               settings == other.settings && deviceMode == other.deviceMode && data == other.data;
    }
};
