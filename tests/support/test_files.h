#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/profile_service.h"
#include "platform/program_path_service.h"

// Paths of the source tree's test data, in the Windows form the program uses: on Linux the
// backslash form that the stand-ins map back, under Wine the Z: drive.
std::wstring SourcePath(const std::string& relative);

// The profile service this platform really has: the stand-in on Linux, the Windows API under Wine.
std::unique_ptr<IProfileService> MakePlatformProfileService();

// The program path service this platform really has.
std::unique_ptr<IProgramPathService> MakePlatformProgramPathService();

// A folder of its own for one test, removed with everything in it when the test ends.
class CTempFolder {
  public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // Writes `bytes` to the file `name` (a relative path; folders are made as needed).
    void Write(const std::string& name, const std::string& bytes) const;
    // The folder in Windows form, ending with a backslash.
    std::wstring WindowsPath() const;

  private:
    std::filesystem::path m_path;
};

// `text` (UTF-8) as the bytes of a UTF-16LE file with a byte order mark.
std::string Utf16LeFile(const std::string& utf8Text);

// The first bytes of a PKCS #7 signed-data file, as a signed driver catalog begins: enough for
// the setup-folder check to take it for one.
extern const std::string kSignedCatalogStart;

// Writes a sound setup folder of `series` series of `models` models each into `folder`, half of
// the models in each family, half of the series with a USB VID/PID identifier of a supported
// device and the rest with a Korvel identifier, the first series with a Chinese name.
void WriteLargeSetupFolder(const CTempFolder& folder, int series, int models);
