#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/cups/cups_spooler_service.h"
#include "platform/posix/posix_file_store_service.h"
#include "platform/posix/posix_setup_lock_service.h"
#include "platform/services.h"
#include "platform/standin/posix_program_path_service.h"
#include "platform/standin/standin_profile_service.h"
#include "platform/system_clock_service.h"

// Where the program keeps its files on Linux.
struct LinuxFolders {
    std::string backups;  // the backups of replaced queues
    std::string logs;     // the setup logs
    std::string lock;     // the file of the machine-wide setup lock
    // Why a folder named in the environment was not used, for the run to tell on standard error.
    std::vector<std::string> notices;

    // For root /var/lib/korvel-setup and /var/log/korvel-setup, for another user (a member of
    // lpadmin) backups/ and logs/ of ~/.local/state/korvel-setup; either way the folders that
    // systemd gives a service in STATE_DIRECTORY and LOGS_DIRECTORY when they are set, which root
    // takes only where no other account can write. The lock is /run/korvel-setup/setup.lock,
    // since every run on the machine must meet at it; a run of root's takes it in the folder
    // KORVEL_LOCK_DIRECTORY names only where no other account can write (for tests and a
    // scheduler of one's own: see cups_services.cpp for why that is safe).
    static LinuxFolders FromEnvironment();
};

// Every service of the console program on Linux with a CUPS scheduler, and the set that names
// them. The setup data is read with the profile stand-in; the spooler is the scheduler that
// libcups finds by itself.
class CCupsServices {
  public:
    explicit CCupsServices(const LinuxFolders& folders = LinuxFolders::FromEnvironment())
        : m_fileStore(std::map<std::wstring, std::string>{{L"Backups", folders.backups},
                                                          {L"Logs", folders.logs}}),
          m_setupLock(folders.lock) {}

    PlatformServices Set() {
        PlatformServices set;
        set.profile = &m_profile;
        set.programPath = &m_programPath;
        set.spooler = &m_spooler;
        set.queueSetup = &m_spooler;
        set.clock = &m_clock;
        set.fileStore = &m_fileStore;
        set.setupLock = &m_setupLock;
        return set;
    }

  private:
    CStandInProfileService m_profile;
    CPosixProgramPathService m_programPath;
    CCupsSpoolerService m_spooler;
    CSystemClockService m_clock;
    CPosixFileStoreService m_fileStore;
    CPosixSetupLockService m_setupLock;
};
