#pragma once

#include <cstdint>
#include <string>
#include <vector>

// install/check/ owns the check of a setup folder (`pavonis validate`, the release): every
// finding in its printer information file, its language file and its driver INFs and PPDs. It
// reads them with the readers of install/windows/ and install/cups/ and the USB identifiers of
// detect/; nothing in the engine uses it.

// How bad a finding is. A fault makes the wizard list, name or install a printer wrongly, or not
// at all, on every machine. A warning is what Windows refuses unless a machine is set up for it:
// a catalog that carries no signature installs only where test signing is on.
enum class FindingSeverity { kFault, kWarning };

// One finding in a setup folder.
struct SetupFinding {
    // Below the setup folder, in Windows form: "PrinterDriver\9pin\OEMPRINT.INF"; a folder for a
    // finding about the folder as a whole ("PrinterDriver\9pin").
    std::wstring file;
    uint32_t line;         // 1-based; 0 when the finding is about the file as a whole
    std::wstring problem;  // one English sentence
    std::wstring fix;      // one English sentence: what to change
    FindingSeverity severity = FindingSeverity::kFault;
};

// Whether any of the findings is a fault, not only a warning.
bool HasFaults(const std::vector<SetupFinding>& findings);

// Checks a setup folder (in Windows form, ending with a backslash, like SetupContext::setupFolder)
// the way the wizard and the installer will read it: the printer information file's encoding, its
// series list and series sections (present, within the 2048-character section read, lines under
// 256 characters, no model twice), each model's printer name and type, and for each family in use
// its driver INF (a catalog file that [Version] names and that lies beside it, a models section for
// 64-bit Windows, a warning when that catalog is empty or no PKCS #7 signed-data file, and the
// model line that the Plug-and-Play path finds for each printer, with a USB
// identifier of a supported device). The PPD that the Linux
// setup installs for a family, when a family folder holds one, is checked too, whether or not a
// model uses the family yet: one .ppd file at most, readable, a PPD by its first line, with a
// *NickName. Each file is read once, so the time grows with the folder's size only. The findings
// come by file (the printer information file first, then the driver folders' files by name), then
// by line; none for a sound folder.
std::vector<SetupFinding> CheckSetupFolder(const std::wstring& folder);
