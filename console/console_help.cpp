#include "console/console_program.h"

#include "korvel_version.h"

namespace {

// The commands both systems have alike, and the options, in --help.
constexpr wchar_t kCommonCommands[] =
    LR"(
  restore [BACKUP] [--force]  makes the queues of a backup file again (without one, of the newest
                              a change wrote); a queue of a saved name with other settings is
                              replaced only with --force, saved first
  status --model M            one line when the printer is installed, none when it is not
  validate [DIR] [--strict]   checks a setup folder and lists every finding: faults, and
                              warnings (such as a catalog that signs nothing), which fail it
                              only with --strict

Options:
)";

// Where the setup folder is when none is given.
constexpr wchar_t kWindowsSetupFolder[] =
    LR"(  --setup-folder DIR          the setup folder (default: the folder of this program)
)";
constexpr wchar_t kLinuxSetupFolder[] =
    LR"(  --setup-folder DIR          the setup folder (default: the folder of this program, or
                              ../share/korvel-setup beside it when it has none there, as the
                              package installs it: /usr/share/korvel-setup)
)";

constexpr wchar_t kCommonOptions[] =
    LR"(  --port-file FILE            install: the port from the first line of FILE, or of standard
                              input for -, instead of --port on the command line, which other
                              accounts can read while the run lasts: for a device URI with a
                              password. FILE must be the running account's or the system's, and
                              no other account may change it
  --log FILE                  also append the run's log to FILE
  --json                      machine output, one line: for detect, models, ports, status,
                              validate, and for install, remove, restore and default (whether
                              anything changed, the queue, the port, the backup, the outcome,
                              and after a failure the reason)
  --dry-run                   install, remove, restore, default: says what the run would do and
                              changes nothing (no lock, no log, no backup)
  --wait SECONDS              install, remove, restore, stage, default: waits up to SECONDS (at
                              most 3600) for another setup run to end, instead of ending at once
                              with "another setup is running"
  --help, --version

)";

constexpr wchar_t kLinuxCommands[] =
    LR"(pavonis: installs Korvel printers in CUPS without a window, for configuration management
and scripts.

Usage: pavonis COMMAND [OPTIONS]

Commands:
  detect                      the connected supported USB printer, as CUPS's usb backend finds it
  models [--series NAME]      series and models, with printer name, family and driver INF
  ports                       the usb backend's device URIs (any CUPS device URI is accepted)
  install --model M [--port URI | --port-file FILE] [--no-default] [--test-page] [--force]
                              replaces the printer's queue (saved first), named after the printer
                              without blanks (Korvel_RV-90 for "Korvel RV-90"), with the setup
                              folder's PPD for its family or else the ESC/P driver CUPS ships,
                              on the connected printer without --port; unless --no-default the
                              scheduler's default; a queue as asked already is left alone unless
                              --force
  default --model M           makes the printer's queue the scheduler's default
  remove --model M [--force]  removes the printer's queue, saved first; --force also one whose
                              device URI's credentials only root could save)";

constexpr wchar_t kLinuxNotes[] =
    LR"(The scheduler is the one every CUPS client finds (CUPS_SERVER, client.conf, the local socket).
Changing printers needs root or a member of the lpadmin group.

Exit codes (sysexits): 0 success; 1 the install, removal, restore or default failed, or a reading
command could not look; 64 bad arguments, or install without --port with no printer connected; 65 validate
found faults; 66 setup folder or file missing or unreadable, or no such backup file; 69 a command this system lacks; 75 another setup of
Korvel printers is running; 77 the print system refused the change for want of rights; 130
cancelled.
Logs: /var/log/korvel-setup, backups of replaced queues: /var/lib/korvel-setup (for others than
root ~/.local/state/korvel-setup; $LOGS_DIRECTORY and $STATE_DIRECTORY when those are set).)";

constexpr wchar_t kWindowsCommands[] =
    LR"(pavonis: installs Korvel printers without a window, for deployment engines and scripts.

Usage: pavonis COMMAND [OPTIONS]

Commands:
  detect                      the connected supported USB printer, or that there is none
  models [--series NAME]      series and models, with printer name, family and driver INF
  ports                       the spooler's ports, in its order
  install --model M [--port P | --port-file FILE] [--no-default] [--test-page] [--force]
                              removes the printer's old queues (saved first), installs it and,
                              unless --no-default, makes it the default printer; a printer
                              installed as asked already is left alone unless --force
  stage --model M             puts the model's driver package into the driver store, so that
                              Plug and Play installs it when the printer is plugged in
  default --model M           makes the installed printer the current user's default
  remove --model M            removes the printer's queues, saved first)";

constexpr wchar_t kWindowsNotes[] =
    LR"(The default printer belongs to each user. Deployment engines install as SYSTEM, whose default is
nobody's: run "pavonis default --model M" in the user's context (an Intune user assignment, a logon
script) to make the printer the user's default.

Exit codes: 0 success; 1 a reading command failed, validate found faults, or the printer was not
made the default; 2 setup folder or file missing or unreadable, or no such backup file; 5 not run
as administrator; 87 bad arguments; 1602 cancelled; 1603 install, removal or
restore failed; 1618 another setup of Korvel printers is running; 3010 installed, the computer must
restart before the printer can be used.
Logs: %ProgramData%\Korvel Setup\Logs. Backups of replaced queues: %ProgramData%\Korvel Setup\Backups.)";

}  // namespace

std::wstring ConsoleHelp(ConsolePlatform platform) {
    const bool windows = platform == ConsolePlatform::kWindows;
    return std::wstring(windows ? kWindowsCommands : kLinuxCommands) + kCommonCommands +
           (windows ? kWindowsSetupFolder : kLinuxSetupFolder) + kCommonOptions +
           (windows ? kWindowsNotes : kLinuxNotes);
}

std::wstring ConsoleVersion() {
    return L"pavonis " KORVEL_VERSION_WIDE;
}
