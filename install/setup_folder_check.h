#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One fault of a setup folder: something that would make the wizard list, name or install a
// printer wrongly, or not at all.
struct SetupFinding {
    std::wstring
        file;       // below the setup folder, in Windows form: "PrinterDriver\9pin\OEMPRINT.INF"
    uint32_t line;  // 1-based; 0 when the finding is about the file as a whole
    std::wstring problem;  // one English sentence
    std::wstring fix;      // one English sentence: what to change
};

// Checks a setup folder (in Windows form, ending with a backslash, like SetupContext::setupFolder)
// the way the wizard and the installer will read it: the printer information file's encoding, its
// series list and series sections (present, within the 2048-character section read, lines under
// 256 characters, no model twice), each model's printer name and type, and for each family in use
// its driver INF (a models section for 64-bit Windows, and the model line that the Plug-and-Play
// path finds for each printer, with a USB identifier of a supported device). Each file is read
// once, so the time grows with the folder's size only. The findings come by file (the printer
// information file first), then by line; none for a sound folder.
std::vector<SetupFinding> CheckSetupFolder(const std::wstring& folder);
