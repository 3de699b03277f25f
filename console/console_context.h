#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/command_line.h"
#include "console/console_program.h"
#include "install/cups/queue_install.h"
#include "platform/platform_failure.h"
#include "setupdata/setup_context.h"

class JsonText;

// The program's name in the setup log of every run the console begins.
constexpr wchar_t kConsoleProgramName[] = L"pavonis";

// One call of the console program, with the setup record its command works on. Every command
// and every helper of theirs gets it, so that what one step chose (the setup folder, the model)
// is what the next step sees.
class CConsoleContext {
  public:
    CConsoleContext(const ConsoleCall& call, IConsoleHost& host);

    const ConsoleCall& Call() const { return m_call; }
    IConsoleHost& Host() { return m_host; }
    // Whether the print system is CUPS rather than the Windows spooler.
    bool Cups() const { return m_cups; }
    SetupContext& Setup() { return m_setup; }
    const SetupContext& Setup() const { return m_setup; }

    // On CUPS, from the model's choice on: the install of its queue, which knows the printer's
    // full name while the setup record holds the queue's name. Null before, and on Windows.
    CQueueInstall* QueueInstall() const { return m_queueInstall.get(); }
    void SetQueueInstall(std::unique_ptr<CQueueInstall> install) {
        m_queueInstall = std::move(install);
    }

    // How many notices of the call's setup run were said already, so that each is said once.
    size_t& NoticesShown() { return m_noticesShown; }

    // What the repair of runs stopped dead did before the command's own work (or, in a dry run,
    // would do): every repair is a change, which the command's report includes.
    void NoteRepairs(const std::vector<std::wstring>& queues, bool movedDefault) {
        m_repaired.insert(m_repaired.end(), queues.begin(), queues.end());
        m_repairMovedDefault = m_repairMovedDefault || movedDefault;
    }
    const std::vector<std::wstring>& Repaired() const { return m_repaired; }
    bool RepairChanged() const { return !m_repaired.empty() || m_repairMovedDefault; }

    // Why the command failed, as --json's "reason" reports it; empty unless it failed and
    // knows why.
    void SetFailureReason(std::wstring reason) { m_failureReason = std::move(reason); }
    const std::wstring& FailureReason() const { return m_failureReason; }

    // --dry-run: what the run would do, from looks alone (no lock, no log, no file).
    bool DryRun() const { return m_call.Has(L"--dry-run"); }
    // The printer's name as the user knows it (on CUPS the queue's description).
    std::wstring PrinterName() const;
    // The result of a reading command: `text`, or with --json its JSON.
    void Print(const std::wstring& text, const JsonText& json);
    // Says on standard error that the print system could not be asked, and why: the
    // platform's sentence for it (ISpoolerService::UnreachableReason) with `failure`, what the
    // failed call recorded.
    void SayUnreachable(const std::optional<PlatformFailure>& failure);

  private:
    const ConsoleCall& m_call;
    IConsoleHost& m_host;
    const bool m_cups;
    SetupContext m_setup;
    std::unique_ptr<CQueueInstall> m_queueInstall;
    size_t m_noticesShown = 0;
    std::vector<std::wstring> m_repaired;
    bool m_repairMovedDefault = false;
    std::wstring m_failureReason;
};
