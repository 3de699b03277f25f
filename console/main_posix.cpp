#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "console/console_program.h"
#include "console/exit_codes.h"
#include "platform/console_stop.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/standin/posix_program_path_service.h"
#include "platform/standin/standin_profile_service.h"
#include "platform/standin/wide_text.h"
#include "platform/system_clock_service.h"
#ifdef KORVEL_HAVE_CUPS
#include "platform/cups/cups_services.h"
#include "platform/posix/posix_system_log_service.h"
#include "platform/posix/root_environment.h"
#endif

namespace {

// Never destroyed: a signal may still arrive while the C runtime destroys its objects at exit.
CConsoleStop& g_stop = *new CConsoleStop;
const int g_cancelledExitCode = PosixExitCode(Outcome::kCancelled);

// No signal ends the process by itself once caught, so every one only interrupts. _exit, unlike
// exit, may be called in a signal handler.
void OnStopSignal(int) {
    if (g_stop.Arrive(CConsoleStop::Kind::kInterrupt, std::chrono::milliseconds(0)) ==
        CConsoleStop::Action::kEndNow)
        _exit(g_cancelledExitCode);
}

// Standard output and error as UTF-8. Ctrl+C, a hang-up or a termination asks the run to stop,
// so that an install not yet begun puts back the queues it removed; while the program changes
// nothing, it ends the process at once.
class CPosixConsoleHost : public IConsoleHost {
  public:
    explicit CPosixConsoleHost(ConsolePlatform platform) : m_platform(platform) {
        struct sigaction action {};
        action.sa_handler = &OnStopSignal;
        sigemptyset(&action.sa_mask);
        for (int signal : {SIGINT, SIGHUP, SIGTERM})
            sigaction(signal, &action, nullptr);
    }
    void Out(const std::wstring& line) override { Write(stdout, line); }
    void Err(const std::wstring& line) override { Write(stderr, line); }
    bool StopRequested() const override { return g_stop.Requested(); }
    // On the program's own thread, so the ordinary exit writes out what standard output holds.
    void AllowImmediateStop(bool allowed) override {
        if (g_stop.AllowImmediate(allowed) == CConsoleStop::Action::kEndNow)
            std::exit(g_cancelledExitCode);
    }
    // A byte at a time, so that nothing after the line is taken from whoever feeds the input.
    bool ReadInputLine(std::string& line, size_t mostBytes) override {
        line.clear();
        while (line.size() < mostBytes) {
            char byte = 0;
            const ssize_t count = read(STDIN_FILENO, &byte, 1);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0) {
                RecordPlatformFailure(L"read", static_cast<uint32_t>(errno),
                                      DecodeUtf8(std::strerror(errno)));
                return false;
            }
            if (count == 0)
                break;
            line += byte;
            if (byte == '\n')
                break;
        }
        return true;
    }
    ConsolePlatform Platform() const override { return m_platform; }

  private:
    static void Write(std::FILE* stream, const std::wstring& line) {
        const std::string bytes = EncodeUtf8(line) + "\n";
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    }

    const ConsolePlatform m_platform;
};

std::vector<std::wstring> Arguments(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(DecodeUtf8(argv[i]));
    return arguments;
}

}  // namespace

#ifdef KORVEL_HAVE_CUPS
// The program on Linux with CUPS: the printer's queue installed, replaced and removed through the
// scheduler that every CUPS client finds.
int main(int argc, char** argv) {
    // Before libcups or the program reads any of it.
    const std::vector<std::string> environment = VetRootEnvironment();
    const LinuxFolders folders = LinuxFolders::FromEnvironment();
    CCupsServices services(folders);
    // Every run's lines in the journal too (journalctl -t pavonis), where a fleet's administrator
    // gathers them.
    CPosixSystemLogService systemLog;
    PlatformServices set = services.Set();
    set.systemLog = &systemLog;
    CScopedServices scope(set);
    CPosixConsoleHost host(ConsolePlatform::kCups);
    // A folder named for the run that it does not use is told before anything else, so that
    // whoever set it finds why the backups or logs are elsewhere.
    for (const std::string& notice : environment)
        host.Err(DecodeUtf8(notice));
    for (const std::string& notice : folders.notices)
        host.Err(DecodeUtf8(notice));
    return RunConsoleProgram(Arguments(argc, argv), host);
}
#else
// The program on Linux without CUPS: the setup data is read with the profile stand-in, so that
// packagers can list and check setup folders in their own pipelines.
int main(int argc, char** argv) {
    CStandInProfileService profile;
    CPosixProgramPathService programPath;
    CSystemClockService clock;
    PlatformServices services;
    services.profile = &profile;
    services.programPath = &programPath;
    services.clock = &clock;
    CScopedServices scope(services);
    CPosixConsoleHost host(ConsolePlatform::kNone);
    return RunConsoleProgram(Arguments(argc, argv), host);
}
#endif
