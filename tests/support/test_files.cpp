#include "tests/support/test_files.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>

#include "platform/standin/wide_text.h"

#ifdef _WIN32
#include "platform/win32/win32_profile_service.h"
#include "platform/win32/win32_program_path_service.h"
#else
#include "platform/standin/posix_program_path_service.h"
#include "platform/standin/standin_profile_service.h"
#endif

namespace {

std::wstring WindowsForm(const std::filesystem::path& path) {
#ifdef _WIN32
    std::wstring text = path.wstring();
    if (!text.empty() && text[0] == L'/')
        text = L"Z:" + text;
#else
    std::wstring text = DecodeUtf8(path.string());
#endif
    std::replace(text.begin(), text.end(), L'/', L'\\');
    return text;
}

}  // namespace

std::wstring SourcePath(const std::string& relative) {
    return WindowsForm(std::filesystem::path(KORVEL_SOURCE_DIR) / relative);
}

std::unique_ptr<IProfileService> MakePlatformProfileService() {
#ifdef _WIN32
    return std::make_unique<CWin32ProfileService>();
#else
    return std::make_unique<CStandInProfileService>();
#endif
}

std::unique_ptr<IProgramPathService> MakePlatformProgramPathService() {
#ifdef _WIN32
    return std::make_unique<CWin32ProgramPathService>();
#else
    return std::make_unique<CPosixProgramPathService>();
#endif
}

CTempFolder::CTempFolder() {
    // Each test case may run in a process of its own, so the name must differ between processes.
    static std::atomic<unsigned> counter{0};
    const std::string unique =
        std::to_string(std::random_device()()) + "-" + std::to_string(counter++);
    m_path = std::filesystem::temp_directory_path() / ("korvel-test-" + unique);
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

CTempFolder::~CTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void CTempFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path file = m_path / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::wstring CTempFolder::WindowsPath() const {
    return WindowsForm(m_path) + L"\\";
}

std::string Utf16LeFile(const std::string& utf8Text) {
    std::string bytes = "\xFF\xFE";
    auto put = [&bytes](uint32_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    };
    for (wchar_t c : DecodeUtf8(utf8Text)) {
        if (c == L'\n')
            put(L'\r');
        put(static_cast<uint32_t>(c));
    }
    return bytes;
}

// A sequence whose two length bytes give 256, then the object identifier of signed data.
const std::string kSignedCatalogStart(
    "\x30\x82\x01\x00\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 15);

void WriteLargeSetupFolder(const CTempFolder& folder, int series, int models) {
    std::string info = "[PRINTER_SERIES]\n", names = "[PRINTER_NAME]\n", types = "[PRINTER_TYPE]\n";
    std::string sections;
    std::string inf24 =
        "[Version]\nCatalogFile=k.cat\n[Manufacturer]\n%K%=KORVEL,NTamd64\n[KORVEL.NTamd64]\n";
    std::string inf9 = inf24;
    for (int s = 0; s < series; ++s) {
        const std::string name = s == 0 ? "RV系列" : "S" + std::to_string(s) + "系列";
        info += name + "\n";
        sections += "[" + name + "]\n";
        for (int m = 0; m < models; ++m) {
            const std::string model = "M" + std::to_string(s) + "-" + std::to_string(m);
            sections += model + "\n";
            names += model + "=Korvel " + model + "\n";
            types += "Korvel " + model + (m % 2 == 0 ? "=24\n" : "=9\n");
            (m % 2 == 0 ? inf24 : inf9) +=
                "\"KORVEL " + model + "\" = M.GPD," +
                (s % 2 == 0 ? "USBPRINT\\K" + model : std::string("USB\\VID_FFF0&PID_0001")) +
                ",X\n";
        }
    }
    folder.Write("PrinterInfor.Inf", Utf16LeFile(info + sections + names + types));
    folder.Write("PrinterDriver/24pin/OEMPRINT.INF", inf24);
    folder.Write("PrinterDriver/9pin/OEMPRINT.INF", inf9);
    folder.Write("PrinterDriver/24pin/k.cat", kSignedCatalogStart);
    folder.Write("PrinterDriver/9pin/k.cat", kSignedCatalogStart);
}
