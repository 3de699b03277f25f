#pragma once

#include <memory>
#include <string>

#include "platform/file_store_service.h"
#include "platform/interface_registry_service.h"
#include "platform/launcher_service.h"
#include "platform/platform_failure.h"
#include "platform/pnp_service.h"
#include "platform/profile_service.h"
#include "platform/program_path_service.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "platform/usb_printer_service.h"

// Which fallible platform call is to fail: the calls are counted across every service in the order
// they are made, and the one numbered `failAt` fails (none when it is negative). Stopped dead, that
// call and every one after it fail and reach nothing, as when the process is killed there: what
// the run had written stays as it was, and it writes nothing more.
class CFaultPlan {
  public:
    enum class Kind { kOneFails, kStopsDead };
    explicit CFaultPlan(int failAt, Kind kind = Kind::kOneFails) : m_failAt(failAt), m_kind(kind) {}

    // Whether this call fails; a failing call is recorded as a backend records its failures.
    bool Fails(const wchar_t* call) {
        const int number = m_calls++;
        const bool fails =
            m_kind == Kind::kStopsDead ? m_failAt >= 0 && number >= m_failAt : number == m_failAt;
        if (!fails)
            return false;
        if (failedCall.empty())
            failedCall = call;
        RecordPlatformFailure(call, 1359, L"failed on purpose");  // ERROR_INTERNAL_ERROR
        return true;
    }
    int Calls() const { return m_calls; }
    bool StopsDead() const { return m_kind == Kind::kStopsDead; }

    std::wstring failedCall;

  private:
    int m_failAt;
    Kind m_kind;
    int m_calls = 0;
};

// Services that pass every call on to the fakes of a machine, except the one call the plan fails,
// which answers as the real service answers a failure.
class CFaultyServices {
  public:
    CFaultyServices(const PlatformServices& inner, CFaultPlan& plan);
    ~CFaultyServices();
    CFaultyServices(const CFaultyServices&) = delete;
    CFaultyServices& operator=(const CFaultyServices&) = delete;

    PlatformServices Set() const { return m_set; }

  private:
    class Spooler;
    class FileStore;
    class Launcher;
    class Pnp;
    class Usb;
    class Registry;
    class ProgramPath;
    class Profile;

    PlatformServices m_set;
    std::unique_ptr<Spooler> m_spooler;
    std::unique_ptr<FileStore> m_fileStore;
    std::unique_ptr<Launcher> m_launcher;
    std::unique_ptr<Pnp> m_pnp;
    std::unique_ptr<Usb> m_usb;
    std::unique_ptr<Registry> m_registry;
    std::unique_ptr<ProgramPath> m_programPath;
    std::unique_ptr<Profile> m_profile;
};
