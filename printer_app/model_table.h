#pragma once

#include <map>
#include <string>

struct SetupContext;

// The models the setup data carries, each with the driver of its family, for adding connected
// printers by the IEEE 1284 device ID they report.
class CModelTable {
  public:
    // Reads every series' models, their printer names and families from the setup folder's
    // printer information file; a model without a printer name or family is left out.
    void Load(const SetupContext& setup);

    // The driver for a device ID ("MFG:Korvel;MDL:RV-90;..."), or null when the maker is not
    // ours or the setup data does not list the model.
    const char* DriverForDeviceId(const std::string& deviceId) const;

    size_t Size() const { return m_drivers.size(); }

  private:
    std::map<std::wstring, const char*> m_drivers;  // upper-cased model name -> driver
};

// The value of one key of an IEEE 1284 device ID, the key matched without regard to case and the
// value trimmed of blanks; empty when the ID has no such key.
std::string DeviceIdValue(const std::string& deviceId, const std::string& key);
