// Times the driver INF reader against `grep -m1 -F` on the same 50 MB INF whose model line is the
// last one, best of several runs each, both on a warm page cache.
//
//   inf_search_benchmark [megabytes]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "setupdata/setup_context.h"

namespace {

constexpr int kRuns = 7;

double Seconds(const std::chrono::steady_clock::duration& d) {
    return std::chrono::duration<double>(d).count();
}

template <typename Action>
double BestOf(Action action) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        action();
        best = std::min(best, Seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

// An INF of about `megabytes` MB: model lines of other printers, then the one looked for.
void WriteInf(const std::filesystem::path& path, size_t megabytes) {
    std::ofstream out(path, std::ios::binary);
    out << "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[KORVEL.NTamd64]\r\n";
    const size_t target = megabytes * 1000 * 1000;
    size_t written = 0;
    for (size_t i = 0; written < target; ++i) {
        const std::string line = "\"KORVEL XR-" + std::to_string(i) + "\" = XR" +
                                 std::to_string(i) + ".GPD,USBPRINT\\KORVELXR-" +
                                 std::to_string(i) + "0A1B,KORVEL_XR\r\n";
        out << line;
        written += line.size();
    }
    out << "\"KORVEL RV-90\" = RV90.GPD,USBPRINT\\KORVELRV-90C21B,KORVEL_RV-90\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "korvel-inf-benchmark";
    std::filesystem::create_directories(folder);
    const std::filesystem::path inf = folder / "OEMPRINT.INF";
    WriteInf(inf, megabytes);
    const double size = static_cast<double>(std::filesystem::file_size(inf)) / 1e6;

    SetupContext context;
    const std::wstring infPath(inf.wstring());
    bool found = true;
    const double reader = BestOf([&] {
        std::wstring key = L"\"Korvel RV-90\"";
        char id[1024] = {};
        found = found &&
                context.FindInfHardwareId(infPath.c_str(), key.data(),
                                          static_cast<uint32_t>(key.size()), id) == 1 &&
                std::string(id) == "USBPRINT\\KORVELRV-90C21B";
    });
    const std::string grep = "grep -m1 -F '\"KORVEL RV-90\"' '" + inf.string() + "' > /dev/null";
    const double grepTime = BestOf([&] { found = found && std::system(grep.c_str()) == 0; });
    std::filesystem::remove_all(folder);

    std::printf("INF of %.1f MB, match on the last line, best of %d runs\n", size, kRuns);
    std::printf("FindInfHardwareId: %.1f ms (%.0f MB/s)\n", reader * 1e3, size / reader);
    std::printf("grep -m1 -F:       %.1f ms (%.0f MB/s)\n", grepTime * 1e3, size / grepTime);
    std::printf("reader speed / grep speed: %.2f\n", grepTime / reader);
    if (!found) {
        std::printf("the model line was not found\n");
        return 1;
    }
    return 0;
}
