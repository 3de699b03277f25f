#include <cstdint>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "install/windows/inf_model_line.h"
#include "install/check/setup_folder_check.h"
#include "platform/services.h"
#include "platform/standin/standin_profile_service.h"
#include "platform/standin/wide_text.h"
#include "setupdata/setup_context.h"
#include "tests/fuzz/fuzz_check.h"

// The input is a printer information file, then "@INF@" and a driver INF that both families use
// (without the marker there are no driver INFs), which lies beside a catalog "oemprint.cat". Every
// finding must name one of the three files and say what is wrong and what to do; and a folder
// without faults must be one that the wizard's own reads take whole: every model of every listed
// series, and of the series the wizard offers, leads to a printer name, a family and a model line
// in its driver INF.
namespace {

constexpr char kMarker[] = "@INF@";

// A setup folder of this process's own in the temporary folder, removed when the process ends
// normally.
class CFuzzSetupFolder {
  public:
    CFuzzSetupFolder()
        : m_path(std::filesystem::temp_directory_path() /
                 ("korvel-fuzz-" + std::to_string(getpid()) + "-setup")) {}
    ~CFuzzSetupFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CFuzzSetupFolder(const CFuzzSetupFolder&) = delete;
    CFuzzSetupFolder& operator=(const CFuzzSetupFolder&) = delete;

    // Writes the folder afresh; returns it as the program takes folders: ending with a backslash.
    std::wstring Write(const std::string& info, const std::string* inf) const {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
        std::ofstream(m_path / "PrinterInfor.Inf", std::ios::binary) << info;
        if (inf != nullptr) {
            for (const char* family : {"24pin", "9pin"}) {
                const std::filesystem::path folder = m_path / "PrinterDriver" / family;
                std::filesystem::create_directories(folder);
                std::ofstream(folder / "OEMPRINT.INF", std::ios::binary) << *inf;
                std::ofstream(folder / "oemprint.cat", std::ios::binary);
            }
        }
        return DecodeUtf8(m_path.string()) + L"\\";
    }

  private:
    std::filesystem::path m_path;
};

// The wizard's path from a listed model to its model line, through the setup record's own reads.
void CheckModelAsTheWizardReadsIt(SetupContext& context, const std::wstring& model) {
    wchar_t name[260] = {};
    FUZZ_CHECK(context.LookUpPrinterName(model.c_str(), name, 260) == 1);
    FUZZ_CHECK(std::wcslen(name) < SetupContext::kNameWidth);
    FUZZ_CHECK(context.GetPrinterType(name) > 0);
    context.SetPrinterName(name);
    context.ResolveDriverInfPath();
    std::wstring key = InfModelLine::KeyOf(name);
    char id[InfModelLine::kIdBytes] = {};
    FUZZ_CHECK(context.FindInfHardwareId(context.driverInfPath, key.data(),
                                         static_cast<uint32_t>(key.size()), id) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t marker = input.find(kMarker);
    const std::string info = input.substr(0, marker);
    const std::string inf =
        marker == std::string::npos ? std::string() : input.substr(marker + sizeof kMarker - 1);
    static const CFuzzSetupFolder setup;
    const std::wstring folder = setup.Write(info, marker == std::string::npos ? nullptr : &inf);

    const std::vector<SetupFinding> findings = CheckSetupFolder(folder);
    for (const SetupFinding& finding : findings) {
        FUZZ_CHECK(finding.file == L"PrinterInfor.Inf" ||
                   finding.file == L"PrinterDriver\\24pin\\OEMPRINT.INF" ||
                   finding.file == L"PrinterDriver\\9pin\\OEMPRINT.INF");
        FUZZ_CHECK(!finding.problem.empty() && !finding.fix.empty());
    }
    // The empty catalog is a warning; only faults stop the wizard.
    if (HasFaults(findings))
        return 0;

    CStandInProfileService profile;
    PlatformServices services;
    services.profile = &profile;
    const CScopedServices scoped(services);
    SetupContext context;
    FUZZ_CHECK(folder.size() < SetupContext::kPathWidth);
    std::wcscpy(context.setupFolder, folder.c_str());
    context.ResolveInfoFilePath();
    StringList series;
    FUZZ_CHECK(context.ListSeries(series) == 1);
    series.push_back(SetupContext::kShownSeries);
    for (const std::wstring& name : series) {
        StringList models;
        FUZZ_CHECK(context.ListSeriesModels(name.c_str(), models) == 1);
        for (const std::wstring& model : models)
            CheckModelAsTheWizardReadsIt(context, model);
    }
    return 0;
}
