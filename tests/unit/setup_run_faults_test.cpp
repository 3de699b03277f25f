#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "install/run/setup_run.h"
#include "install/cups/queue_install.h"
#include "install/run/unfinished_runs.h"
#include "platform/name_case.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/faulty_services.h"
#include "tests/unit/setup_run_machine.h"

namespace {

// The rule a queue is replaced by, stated on its own: the name in any case, as the spooler
// compares names, or the spooler's copies of it ("Name (Copy 1)").
bool Replaced(const std::wstring& queue, const std::wstring& name) {
    const size_t n = name.size();
    if (name.empty() || queue.size() < n || !SameNameIgnoringCase(queue.substr(0, n), name))
        return false;
    return queue.size() == n || (queue.size() > n + 2 && queue[n] == L' ' && queue[n + 1] == L'(');
}

enum class Path { kPrintUi, kPrintUiFails, kPlugAndPlay, kCups };

// The user's queue of the printer (the default, on Windows with a copy), a foreign queue, and what
// the path needs: a connected printer for Plug and Play, a printer UI that does nothing, CUPS's
// sample driver.
void Arrange(CSetupRunMachine& m, Path path, CFakeQueueSetupService& queueSetup) {
    if (path == Path::kCups) {
        m.spooler.drivers[L"Epson 9-Pin Series"] = L"drv:///sample.drv/epson9.ppd";
        queueSetup.drivers[L"Epson 9-Pin Series"] = L"drv:///sample.drv/epson9.ppd";
        m.spooler.AddQueue(L"Korvel_RV-90", L"Epson 9-Pin Series", L"socket://192.0.2.1");
        m.spooler.defaultPrinter = L"Korvel_RV-90";
    } else {
        m.AddUsersQueue(kPrinter);
        m.spooler.AddQueue(L"Korvel RV-90 (Copy 1)", kPrinter, L"COM1:");
    }
    m.spooler.AddQueue(L"Korvel RV-900", L"Korvel RV-900");
    if (path == Path::kPrintUiFails)
        m.launcher.onRun = nullptr;
    if (path == Path::kPlugAndPlay) {
        m.usb.interfaces.push_back({L"\\\\?\\usb#vid_fff0&pid_0001#s#{28d78fad}", false, false,
                                    CFakeUsbPrinterService::DeviceIdReply("MDL:RV-90;")});
    }
}

// One whole Finish on a fresh machine with the one platform call `failAt` failing. Checks what
// must hold whatever failed, and returns how many fallible calls the run made.
int RunWithFault(Path path, int failAt) {
    auto machine = std::make_unique<CSetupRunMachine>();
    CSetupRunMachine& m = *machine;
    CFakeQueueSetupService queueSetup;
    Arrange(m, path, queueSetup);
    const auto before = m.spooler.queues;
    const std::string label = "path " + std::to_string(static_cast<int>(path)) + ", failing call " +
                              std::to_string(failAt);

    CFaultPlan plan(failAt);
    CFaultyServices faulty(m.Set(), plan);
    int32_t result = 0;
    {
        CScopedServices services(faulty.Set());
        SetupContext setup;
        setup.SetPrinterName(kPrinter);
        setup.SetPortName(L"LPT1:");
        setup.SetMakeDefault(1);
        CSetupRun run(setup, L"Test");
        result = run.Run();
    }
    const std::string context =
        label + " (" + std::string(plan.failedCall.begin(), plan.failedCall.end()) + ")";
    EXPECT_TRUE(m.AllReleased()) << context;
    EXPECT_TRUE(m.deletedUnsaved.empty()) << context;
    // Success only where the platform gave it: the driver update went through, or the printer
    // UI's new queue is there on the chosen port.
    if (result != 0) {
        QueueState state;
        const bool queued = m.spooler.LookUpQueue(kPrinter, state) == QueueLookup::kPresent &&
                            state.port == L"LPT1:";
        EXPECT_TRUE(queued || (path == Path::kPlugAndPlay && !m.pnp.updates.empty())) << context;
        EXPECT_NE(path, Path::kPrintUiFails) << context;
    }
    // Every other queue is as it was; every replaced one is installed, saved as replaced, or
    // still waiting in a backup file: none is lost.
    const auto saved = SavedQueues(m.fileStore);
    for (const CFakeSpoolerService::Queue& queue : before) {
        const std::wstring& name = queue.record.name;
        const CFakeSpoolerService::Queue* now = m.spooler.FindQueue(name);
        if (!Replaced(name, kPrinter)) {
            EXPECT_TRUE(now != nullptr && now->record == queue.record) << context;
            continue;
        }
        const bool inBackup = std::any_of(saved.begin(), saved.end(), [&](const auto& e) {
            return e.record.name == name && (e.state == BackupState::kRemoved ||
                                             (e.state == BackupState::kReplaced && result != 0));
        });
        EXPECT_TRUE(now != nullptr || inBackup) << context << " lost a queue";
    }
    return plan.Calls();
}

TEST(SetupRunFaultsTest, EveryFallibleCallFailingAloneLosesNothingAndClaimsNothing) {
    int runs = 0;
    for (const Path path : {Path::kPrintUi, Path::kPrintUiFails, Path::kPlugAndPlay}) {
        const int calls = RunWithFault(path, -1);
        for (int failAt = 0; failAt < calls; ++failAt, ++runs)
            RunWithFault(path, failAt);
    }
    RecordProperty("runs", runs);
    std::printf("fault-injection runs: %d\n", runs);
}

// The next run after one stopped dead at its call `stopAt`: on the same machine and file store it
// first puts back whatever the dead run had removed, then does its own work. Returns how many
// fallible calls the dead run made.
int RunAfterOneStoppedDead(Path path, int stopAt) {
    const bool cups = path == Path::kCups;
    const std::wstring queue = cups ? L"Korvel_RV-90" : kPrinter;
    const std::wstring port = cups ? L"socket://192.0.2.2" : L"LPT1:";
    auto machine = std::make_unique<CSetupRunMachine>();
    CSetupRunMachine& m = *machine;
    CFakeQueueSetupService queueSetup;
    Arrange(m, path, queueSetup);
    const auto before = m.spooler.queues;
    const std::string context = "path " + std::to_string(static_cast<int>(path)) +
                                ", stopped dead at call " + std::to_string(stopAt);
    PlatformServices set = m.Set();
    set.queueSetup = &queueSetup;
    // The new queue is there on its port, or the driver update that makes it went through.
    const auto installed = [&] {
        QueueState state;
        return (m.spooler.LookUpQueue(queue.c_str(), state) == QueueLookup::kPresent &&
                state.port == port && !state.pendingDeletion) ||
               (path == Path::kPlugAndPlay && !m.pnp.updates.empty());
    };
    const auto finish = [&](CSetupRun& run, bool begun) {
        if (begun && run.Prepare() && run.CheckExisting())
            run.Remove();
        const int32_t result = begun ? run.Install() : 0;
        if (result != 0)
            run.ApplyOptions();
        else
            run.Restore();
        run.End(result);
        return result;
    };
    CFaultPlan plan(stopAt, CFaultPlan::Kind::kStopsDead);
    CFaultyServices faulty(set, plan);
    for (const PlatformServices& services : {faulty.Set(), set}) {
        CScopedServices scope(services);
        SetupContext setup;
        setup.SetPrinterName(queue.c_str());
        setup.SetPortName(port.c_str());
        setup.SetMakeDefault(1);
        CQueueInstall cupsInstall(kPrinter);
        CSetupRun run(setup, L"Test", 0, cups ? &cupsInstall : nullptr);
        const bool begun = run.Begin();
        if (services.spooler == set.spooler) {
            // Before its own work, the next run has put back every queue there was, unless the
            // dead run had installed the new one in its place.
            for (const CFakeSpoolerService::Queue& q : before) {
                EXPECT_TRUE(m.spooler.HasQueue(q.record.name) ||
                            (Replaced(q.record.name, queue) && installed()))
                    << context;
            }
        }
        finish(run, begun);
    }
    // Then the new queue is installed as the default, or the old ones are back as they were;
    // a foreign queue is untouched either way.
    for (const CFakeSpoolerService::Queue& q : before) {
        const CFakeSpoolerService::Queue* now = m.spooler.FindQueue(q.record.name);
        const bool ours = Replaced(q.record.name, queue);
        if (!ours || path == Path::kPrintUiFails) {
            EXPECT_TRUE(now != nullptr && now->record == q.record) << context;
        }
    }
    if (path != Path::kPrintUiFails) {
        EXPECT_TRUE(installed()) << context;
    }
    // A Plug-and-Play update makes its queue later, as the device is set up.
    if (path != Path::kPlugAndPlay) {
        EXPECT_TRUE(SameNameIgnoringCase(m.spooler.defaultPrinter, queue)) << context;
    }
    EXPECT_TRUE(m.AllReleased()) << context;
    std::vector<UnfinishedRun> unfinished;
    {
        CScopedServices scope(set);
        FindUnfinishedRuns(unfinished);
    }
    EXPECT_TRUE(unfinished.empty()) << context;
    return plan.Calls();
}

TEST(SetupRunFaultsTest, ARunStoppedDeadAtAnyCallIsRepairedByTheNext) {
    int runs = 0;
    for (const Path path : {Path::kPrintUi, Path::kPrintUiFails, Path::kPlugAndPlay, Path::kCups}) {
        const int calls = RunAfterOneStoppedDead(path, -1);
        for (int stopAt = 0; stopAt <= calls; ++stopAt, ++runs)
            RunAfterOneStoppedDead(path, stopAt);
        std::printf("stop points on path %d: %d\n", static_cast<int>(path), calls + 1);
    }
    RecordProperty("runs", runs);
}

// A remove, or a restore of the backup that a remove wrote, stopped dead at its call `stopAt`, and
// then the same command again on the same machine: the removal is finished forward (nothing of the
// name comes back), the restore brings every saved queue back as it was; a foreign queue is
// untouched, and no journal stays unfinished. Returns how many fallible calls the dead run made.
int CommandAfterOneStoppedDead(bool restore, int stopAt) {
    auto machine = std::make_unique<CSetupRunMachine>();
    CSetupRunMachine& m = *machine;
    CFakeQueueSetupService queueSetup;
    Arrange(m, Path::kPrintUi, queueSetup);
    m.spooler.FindQueue(kPrinter)->record.settings.emplace_back(L"printer-state", L"stopped");
    const auto before = m.spooler.queues;
    const std::string context = std::string(restore ? "restore" : "remove") +
                                " stopped dead at call " + std::to_string(stopAt);
    const auto command = [&](const PlatformServices& services, bool restoring) {
        CScopedServices scope(services);
        SetupContext setup;
        setup.SetPrinterName(kPrinter);
        CSetupRun run(setup, L"Test");
        run.SetCommand(restoring ? L"restore" : L"remove");
        if (!run.Begin(restoring ? CSetupRun::Needs::kNothing : CSetupRun::Needs::kPrinter)) {
            run.End(false, L"not begun");
        } else if (restoring) {
            run.End(run.RestoreFile(L""), L"restored");
        } else {
            run.Remove();
            run.End(run.ConfirmRemoval(), L"removed");
        }
    };
    if (restore)
        command(m.Set(), false);
    CFaultPlan plan(stopAt, CFaultPlan::Kind::kStopsDead);
    CFaultyServices faulty(m.Set(), plan);
    command(faulty.Set(), restore);
    command(m.Set(), restore);
    for (const CFakeSpoolerService::Queue& q : before) {
        const CFakeSpoolerService::Queue* now = m.spooler.FindQueue(q.record.name);
        if (restore || !Replaced(q.record.name, kPrinter))
            EXPECT_TRUE(now != nullptr && now->record == q.record) << context;
        else
            EXPECT_EQ(now, nullptr) << context;
    }
    if (restore) {
        EXPECT_TRUE(SameNameIgnoringCase(m.spooler.defaultPrinter, kPrinter)) << context;
    }

    EXPECT_TRUE(m.AllReleased()) << context;
    std::vector<UnfinishedRun> unfinished;
    {
        CScopedServices scope(m.Set());
        FindUnfinishedRuns(unfinished);
    }
    EXPECT_TRUE(unfinished.empty()) << context;
    return plan.Calls();
}

TEST(SetupRunFaultsTest, ARemoveOrRestoreStoppedDeadAtAnyCallIsFinishedByTheNext) {
    for (const bool restore : {false, true}) {
        const int calls = CommandAfterOneStoppedDead(restore, -1);
        for (int stopAt = 0; stopAt <= calls; ++stopAt)
            CommandAfterOneStoppedDead(restore, stopAt);
        std::printf("stop points of %s: %d\n", restore ? "restore" : "remove", calls + 1);
    }
}

// Names around the chosen one: copies, prefixes, extensions, blanks, parentheses, other case
// (Latin-1 letters too), Chinese, empty and very long names.
std::wstring Around(std::mt19937& random, const std::wstring& name) {
    static const std::wstring pieces[] = {
        L" (", L"(",    L" ",   L"Copy 1)", L"1",  L")",   L"打印",
        L"X",  L" (2)", L"  (", L"\t(",     L"（", L"(\n", std::wstring(180, L'L')};
    std::wstring queue;
    switch (random() % 5) {
        case 0:
            queue = name;
            break;
        case 1:
            queue = name.substr(0, random() % (name.size() + 1));
            break;
        case 2:
            queue = name;
            std::transform(queue.begin(), queue.end(), queue.begin(), [&](wchar_t c) {
                const bool capital =
                    (c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
                return random() % 2 != 0 && capital ? static_cast<wchar_t>(c + 32) : c;
            });
            break;
        default:
            queue = name;
    }
    for (unsigned n = random() % 4; n > 0; --n)
        queue += pieces[random() % std::size(pieces)];
    return queue;
}

TEST(SetupRunFaultsTest, RemovalDeletesExactlyTheQueuesOfTheName) {
    const std::wstring names[] = {
        kPrinter, L"打印机 A", L"Drucker Ä", L"K", std::wstring(150, L'N'), L"A (B"};
    constexpr int kRounds = 3000;
    std::mt19937 random(20261207);
    for (int round = 0; round < kRounds; ++round) {
        const std::wstring& name = names[round % std::size(names)];
        CSetupRunMachine m;
        // The spooler keeps one queue per name whatever its case.
        std::vector<std::wstring> queues;
        for (unsigned n = 1 + random() % 8; n > 0; --n) {
            const std::wstring queue = Around(random, name);
            if (std::none_of(queues.begin(), queues.end(), [&](const std::wstring& q) {
                    return SameNameIgnoringCase(q, queue);
                })) {
                queues.push_back(queue);
                m.spooler.AddQueue(queue, queue);
            }
        }
        CScopedServices services(m.Set());
        SetupContext setup;
        setup.SetPrinterName(name.c_str());
        setup.SetPortName(L"LPT1:");
        CSetupRun run(setup, L"Test");
        ASSERT_TRUE(run.Begin());
        run.CheckExisting();
        run.Remove();
        run.End(0);
        for (const std::wstring& queue : queues)
            ASSERT_EQ(m.spooler.HasQueue(queue), !Replaced(queue, name)) << round;
        ASSERT_TRUE(m.AllReleased());
        ASSERT_TRUE(m.deletedUnsaved.empty());
    }
    RecordProperty("rounds", kRounds);
}

}  // namespace
