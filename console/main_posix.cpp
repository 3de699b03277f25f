#include <clocale>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/console_program.h"
#include "platform/services.h"
#include "platform/standin/posix_program_path_service.h"
#include "platform/standin/standin_profile_service.h"
#include "platform/standin/wide_text.h"
#include "platform/system_clock_service.h"

namespace {

// Standard output and error as UTF-8; no Windows platform behind the services.
class CPosixConsoleHost : public IConsoleHost {
  public:
    void Out(const std::wstring& line) override { Write(stdout, line); }
    void Err(const std::wstring& line) override { Write(stderr, line); }
    bool HasWindows() const override { return false; }

  private:
    static void Write(std::FILE* stream, const std::wstring& line) {
        const std::string bytes = EncodeUtf8(line) + "\n";
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    }
};

}  // namespace

// The program on Linux: the setup data is read with the profile stand-in, so that packagers can
// list and check setup folders in their own pipelines; the commands that need the Windows spooler
// say so.
int main(int argc, char** argv) {
    CStandInProfileService profile;
    CPosixProgramPathService programPath;
    CSystemClockService clock;
    PlatformServices services;
    services.profile = &profile;
    services.programPath = &programPath;
    services.clock = &clock;
    CScopedServices scope(services);

    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(DecodeUtf8(argv[i]));
    CPosixConsoleHost host;
    return RunConsoleProgram(arguments, host);
}
