// Times the setup-folder check (pavonis validate) on a sound folder of 100 series of 100 models
// each, half of them with a USB VID/PID identifier, on a warm page cache: the median and the best
// of several runs.
//
//   setup_folder_check_benchmark [series] [models per series]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "install/check/setup_folder_check.h"
#include "tests/support/test_files.h"

namespace {

constexpr int kRuns = 9;

}  // namespace

int main(int argc, char** argv) {
    const int series = argc > 1 ? std::atoi(argv[1]) : 100;
    const int models = argc > 2 ? std::atoi(argv[2]) : 100;
    const CTempFolder folder;
    WriteLargeSetupFolder(folder, series, models);
    std::vector<double> seconds;
    size_t findings = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        findings += CheckSetupFolder(folder.WindowsPath()).size();
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%d series of %d models checked, %d runs\n", series, models, kRuns);
    std::printf("median: %.1f ms, best: %.1f ms\n", seconds[kRuns / 2] * 1e3, seconds[0] * 1e3);
    if (findings != 0) {
        std::printf("the folder had %zu findings where none were expected\n", findings / kRuns);
        return 1;
    }
    return 0;
}
