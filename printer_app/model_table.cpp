#include "printer_app/model_table.h"

#include <algorithm>
#include <cctype>
#include <cwctype>

#include "platform/standin/wide_text.h"
#include "printer_app/escp_mode.h"
#include "setupdata/setup_context.h"

namespace {

// The maker's name in its printers' device IDs.
constexpr char kMaker[] = "KORVEL";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
}

const char* DriverOfType(int32_t type) {
    switch (type) {
        case SetupContext::kType24Pin:
            return kMode24Pin.driverName;
        case SetupContext::kType9Pin:
            return kMode9Pin120.driverName;
        default:
            return nullptr;
    }
}

}  // namespace

std::string DeviceIdValue(const std::string& deviceId, const std::string& key) {
    size_t start = 0;
    while (start < deviceId.size()) {
        size_t end = deviceId.find(';', start);
        if (end == std::string::npos)
            end = deviceId.size();
        const std::string pair = deviceId.substr(start, end - start);
        const size_t colon = pair.find(':');
        if (colon != std::string::npos && Upper(Trimmed(pair.substr(0, colon))) == Upper(key))
            return Trimmed(pair.substr(colon + 1));
        start = end + 1;
    }
    return std::string();
}

void CModelTable::Load(const SetupContext& setup) {
    m_drivers.clear();
    StringList series;
    setup.ListSeries(series);
    for (const std::wstring& name : series) {
        StringList models;
        setup.ListSeriesModels(name.c_str(), models);
        for (const std::wstring& model : models) {
            wchar_t printer[SetupContext::kNameWidth] = {};
            if (setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kNameWidth) == 0)
                continue;
            if (const char* driver = DriverOfType(setup.GetPrinterType(printer)))
                m_drivers.emplace(Upper(model), driver);
        }
    }
}

const char* CModelTable::DriverForDeviceId(const std::string& deviceId) const {
    std::string maker = DeviceIdValue(deviceId, "MFG");
    if (maker.empty())
        maker = DeviceIdValue(deviceId, "MANUFACTURER");
    std::string model = DeviceIdValue(deviceId, "MDL");
    if (model.empty())
        model = DeviceIdValue(deviceId, "MODEL");
    if (Upper(maker) != kMaker || model.empty())
        return nullptr;
    const auto found = m_drivers.find(Upper(DecodeUtf8(model)));
    return found == m_drivers.end() ? nullptr : found->second;
}
