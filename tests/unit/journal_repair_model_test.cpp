// Random sequences of setup runs on the fake machine, each perhaps stopped dead at a random call,
// with the spooler not answering for some of them and outside changes in between. Before each
// run's own work, its repair is held against a small reference model of the repair's rules,
// written here apart from the code: which queues exist with which settings, which is the
// default, what each journal says, and what the run reports of it.
//
// Each sequence has a number, from which its steps are drawn. A failing sequence is shrunk to the
// fewest steps that still fail and printed with its number. KORVEL_MODEL_SEQUENCE=N replays the
// one sequence of that number; KORVEL_MODEL_SEQUENCES=N runs more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "install/run/queue_backup.h"
#include "install/run/setup_run.h"
#include "platform/name_case.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/faulty_services.h"
#include "tests/unit/setup_run_machine.h"

namespace {

const wchar_t* const kPrinters[] = {L"Korvel RV-90", L"Korvel RV-900"};
const wchar_t* const kPorts[] = {L"LPT1:", L"COM1:"};
constexpr wchar_t kAccount[] = L"S-1-5-21-1000";

enum class Kind {
    kFinish,
    kInstall,
    kRemove,
    kRestore,
    kDefault,
    kDeleteQueue,  // outside changes, between runs
    kAddOtherCase,
    kMoveDefault,
};
const char* const kKindNames[] = {"finish",
                                  "install",
                                  "remove",
                                  "restore",
                                  "default",
                                  "(delete a queue)",
                                  "(add in other case)",
                                  "(move default)"};

struct Op {
    Kind kind;
    int printer;        // which of kPrinters the run is for
    int stopAt;         // the call the run is stopped dead at, or -1
    bool outage;        // the spooler does not answer during the run
    bool otherAccount;  // run by another account
    unsigned pick;      // which queue an outside change picks
};

// An install may move a printer to the other port.
const wchar_t* Port(const Op& op) {
    return kPorts[(op.printer + op.pick / 2) % 2];
}

std::string Describe(const Op& op) {
    std::string text = kKindNames[static_cast<int>(op.kind)];
    if (op.kind < Kind::kDeleteQueue) {
        text += " " + std::to_string(op.printer);
        if (op.stopAt >= 0)
            text += " stopped dead at call " + std::to_string(op.stopAt);
        if (op.outage)
            text += " while the spooler does not answer";
        if (op.otherAccount)
            text += " by another account";
    } else {
        text += " pick " + std::to_string(op.pick);
    }
    return text;
}

Op RandomOp(std::mt19937& random) {
    Op op{};
    op.kind = static_cast<Kind>(random() % 8);
    op.printer = static_cast<int>(random() % 2);
    op.stopAt = random() % 3 == 0 ? static_cast<int>(random() % 70) : -1;
    op.outage = random() % 7 == 0;
    op.otherAccount = random() % 7 == 0;
    op.pick = static_cast<unsigned>(random());
    return op;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// What the machine holds, as the model sees it: queues by name (settings without the default
// flag), the default, and each journal as parsed.
struct Snapshot {
    std::map<std::wstring, QueueRecord> queues;
    std::wstring defaultPrinter;
    std::map<std::wstring, CQueueBackup> journals;
    std::vector<std::wstring> repaired;
    bool movedDefault = false;
    bool waits = false;
};

Snapshot Take(CSetupRunMachine& m) {
    Snapshot s;
    for (const auto& queue : m.spooler.queues) {
        QueueRecord record = queue.record;
        record.isDefault = false;
        s.queues[queue.record.name] = record;
    }
    s.defaultPrinter =
        m.spooler.FindQueue(m.spooler.defaultPrinter) ? m.spooler.defaultPrinter : L"";
    for (const auto& [name, text] : m.fileStore.folders[CSetupRun::kBackupFolder]) {
        CQueueBackup backup;
        if (name.rfind(L"Backup-", 0) == 0 && CQueueBackup::Parse(text, backup))
            s.journals[name] = backup;
    }
    return s;
}

// --- The reference model of the repair ---

const QueueRecord* Find(const Snapshot& s, const std::wstring& name) {
    for (const auto& [queueName, record] : s.queues) {
        if (SameNameIgnoringCase(queueName, name))
            return &record;
    }
    return nullptr;
}

std::wstring Device(const QueueRecord& r) {
    const std::wstring* port = r.Setting(L"port");
    return port ? *port : L"";
}

bool SameIgnoringDefault(QueueRecord a, QueueRecord b) {
    a.isDefault = b.isDefault = false;
    return a == b;
}

struct Model {
    Snapshot s;
    std::wstring account;
    bool outage;

    void GiveDefault(const CQueueBackup& j, const CQueueBackup::Entry& e, const std::wstring& q) {
        if (!e.record.isDefault || (!j.account.empty() && j.account != account))
            return;
        std::wstring left;
        for (const auto& entry : j.entries)
            left = entry.defaultAfter ? *entry.defaultAfter : left;
        if (SameNameIgnoringCase(s.defaultPrinter, q) ||
            !SameNameIgnoringCase(s.defaultPrinter, left))
            return;
        s.defaultPrinter = q;
        s.movedDefault = true;
    }

    void MakeAgain(const CQueueBackup& j, CQueueBackup::Entry& e) {
        for (auto it = s.queues.begin(); it != s.queues.end(); ++it) {
            if (SameNameIgnoringCase(it->first, e.record.name)) {
                s.queues.erase(it);
                break;
            }
        }
        QueueRecord made = e.record;
        made.isDefault = false;
        s.queues[made.name] = made;
        s.repaired.push_back(made.name);
        GiveDefault(j, e, made.name);
        e.state = BackupState::kRestored;
    }

    // One entry; false when it waits for a look.
    bool Repair(std::vector<std::wstring>& names, size_t index, CQueueBackup& j,
                CQueueBackup::Entry& e, bool apply) {
        bool settled = false;
        for (size_t n = index + 1; n < names.size(); ++n) {
            for (const auto& other : s.journals[names[n]].entries)
                settled = settled || SameNameIgnoringCase(other.record.name, e.record.name);
        }
        if (settled) {
            if (apply)
                e.state = BackupState::kSuperseded;
            return true;
        }
        const bool removal = j.command == L"remove";
        if (removal && e.state != BackupState::kSaved) {
            if (apply)
                e.state = BackupState::kDeleted;
            return true;
        }
        if (outage)
            return false;
        const QueueRecord* there = Find(s, e.record.name);
        if (!apply)
            return true;
        if (removal) {
            e.state = there ? BackupState::kKept : BackupState::kDeleted;
        } else if (there == nullptr) {
            MakeAgain(j, e);
        } else if (SameIgnoringDefault(*there, e.record)) {
            const bool deleted = e.state != BackupState::kSaved;
            e.state = deleted ? BackupState::kRestored : BackupState::kKept;
            if (deleted)
                GiveDefault(j, e, e.record.name);
        } else if (e.state == BackupState::kMaking &&
                   SameNameIgnoringCase(there->name, e.making.name) &&
                   Device(*there) == e.making.device &&
                   (e.making.driver.empty() ||
                    SameNameIgnoringCase(there->driver, e.making.driver))) {
            if (e.making.newQueue) {
                e.state = BackupState::kReplaced;
                GiveDefault(j, e, e.making.name);
            } else {
                MakeAgain(j, e);
            }
        } else {
            e.state = BackupState::kSuperseded;
        }
        return true;
    }

    void Run() {
        std::vector<std::wstring> names;
        for (const auto& [name, journal] : s.journals)
            names.push_back(name);
        for (size_t i = names.size(); i-- > 0;) {
            CQueueBackup& j = s.journals[names[i]];
            if (j.run != RunState::kBegun)
                continue;
            bool pending = false;
            for (auto& e : j.entries) {
                const bool open = e.state == BackupState::kSaved ||
                                  e.state == BackupState::kRemoved ||
                                  e.state == BackupState::kMaking;
                if (open && !Repair(names, i, j, e, false)) {
                    s.waits = true;
                    return;
                }
            }
            // A removal's install record is looked for too.
            if (j.command == L"remove" && !j.printer.empty() && outage) {
                s.waits = true;
                return;
            }
            for (auto& e : j.entries) {
                const bool open = e.state == BackupState::kSaved ||
                                  e.state == BackupState::kRemoved ||
                                  e.state == BackupState::kMaking;
                if (open)
                    Repair(names, i, j, e, true);
                pending = pending || e.state == BackupState::kSaved ||
                          e.state == BackupState::kRemoved || e.state == BackupState::kMaking;
            }
            if (!pending)
                j.run = RunState::kRepaired;
        }
    }
};

// The differences between what the model foresaw and what the machine holds, or empty.
std::string Compare(const Snapshot& want, const Snapshot& got, const CSetupRun& run) {
    std::string out;
    for (const auto& [name, record] : want.queues) {
        const auto found = got.queues.find(name);
        if (found == got.queues.end())
            out += "queue " + Narrow(name) + " missing; ";
        else if (!(found->second == record))
            out += "queue " + Narrow(name) + " differs; ";
    }
    for (const auto& [name, record] : got.queues) {
        if (want.queues.count(name) == 0)
            out += "queue " + Narrow(name) + " unexpected; ";
    }
    if (!SameNameIgnoringCase(want.defaultPrinter, got.defaultPrinter))
        out += "default " + Narrow(got.defaultPrinter) + " instead of " +
               Narrow(want.defaultPrinter) + "; ";
    for (const auto& [name, journal] : want.journals) {
        const auto found = got.journals.find(name);
        if (found == got.journals.end()) {
            out += "journal " + Narrow(name) + " gone; ";
            continue;
        }
        if (found->second.run != journal.run)
            out += "journal " + Narrow(name) + " run state; ";
        for (size_t e = 0; e < journal.entries.size(); ++e) {
            if (found->second.entries.at(e).state != journal.entries[e].state)
                out += "journal " + Narrow(name) + " entry " + std::to_string(e) + " state " +
                       std::to_string(static_cast<int>(found->second.entries[e].state)) +
                       " instead of " + std::to_string(static_cast<int>(journal.entries[e].state)) +
                       "; ";
        }
    }
    if (run.Repaired() != want.repaired)
        out += "reported repairs differ; ";
    if (run.RepairMovedDefault() != want.movedDefault)
        out += "reported default move differs; ";
    if (run.RepairWaits() != want.waits)
        out += "reported wait differs; ";
    return out;
}

// --- The machine and the runs ---

struct World : CSetupRunMachine {
    World() {
        AddUsersQueue(kPrinters[0]);
        spooler.FindQueue(kPrinters[0])->record.settings.emplace_back(L"port", L"COM1:");
        spooler.AddQueue(L"Korvel RV-90 (Copy 1)", kPrinters[0], L"COM1:");
        spooler.AddQueue(kPrinters[1], kPrinters[1], L"COM1:");
        // Made in two requests, so that a repair can be stopped between them.
        spooler.FindQueue(kPrinters[1])->record.settings.emplace_back(L"printer-state", L"stopped");
        spooler.AddQueue(L"Office", L"Office");
    }

    void Outside(const Op& op) {
        if (op.kind == Kind::kDeleteQueue && !spooler.queues.empty()) {
            const std::wstring name = spooler.queues[op.pick % spooler.queues.size()].record.name;
            spooler.queues.erase(spooler.queues.begin() + op.pick % spooler.queues.size());
            if (SameNameIgnoringCase(spooler.defaultPrinter, name))
                spooler.defaultPrinter.clear();
        } else if (op.kind == Kind::kAddOtherCase) {
            std::wstring name = kPrinters[op.printer];
            for (wchar_t& c : name)
                c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
            if (!std::any_of(spooler.queues.begin(), spooler.queues.end(), [&](const auto& q) {
                    return SameNameIgnoringCase(q.record.name, name);
                }))
                spooler.AddQueue(name, L"Foreign", L"LPT1:");
        } else if (op.kind == Kind::kMoveDefault && !spooler.queues.empty()) {
            spooler.defaultPrinter = spooler.queues[op.pick % spooler.queues.size()].record.name;
        }
    }

    // Runs one command; returns the model's complaint about its repair, or empty.
    std::string Run(const Op& op, int number) {
        clock.now = LocalTime{2026,
                              12,
                              8,
                              static_cast<uint16_t>(number / 60 % 24),
                              static_cast<uint16_t>(number % 60),
                              0,
                              0,
                              0};
        session.account = op.otherAccount ? L"S-1-5-21-2000" : kAccount;
        const Snapshot before = Take(*this);
        Model model{before, session.account, op.outage};
        model.Run();
        spooler.down = op.outage;
        CFaultPlan plan(op.stopAt, CFaultPlan::Kind::kStopsDead);
        CFaultyServices faulty(Set(), plan);
        std::string complaint;
        {
            CScopedServices scope(faulty.Set());
            SetupContext setup;
            setup.SetPrinterName(kPrinters[op.printer]);
            setup.SetPortName(Port(op));
            setup.SetMakeDefault(1);
            CSetupRun run(setup, L"Test");
            const wchar_t* const commands[] = {L"finish", L"install", L"remove", L"restore",
                                               L"default"};
            run.SetCommand(commands[static_cast<int>(op.kind)]);
            const CSetupRun::Needs needs = op.kind == Kind::kRestore ? CSetupRun::Needs::kNothing
                                           : op.kind == Kind::kFinish || op.kind == Kind::kInstall
                                               ? CSetupRun::Needs::kPrinterAndPort
                                               : CSetupRun::Needs::kPrinter;
            const bool begun = run.Begin(needs);
            // A run stopped dead inside its repair is held to the model by the next one.
            if (plan.failedCall.empty())
                complaint = Compare(model.s, Take(*this), run);
            if (!complaint.empty() && std::getenv("KORVEL_MODEL_DEBUG")) {
                for (const auto& [n, t] : fileStore.folders[CSetupRun::kBackupFolder])
                    std::printf("%s\n%s\n", Narrow(n).c_str(), t.c_str());
                std::printf("%s\n", run.LogText().c_str());
            }
            Work(op, run, begun);
            if (plan.failedCall.empty() && !op.outage)
                complaint += RecordComplaint(op, before);
        }
        spooler.down = false;
        if (!AllReleased())
            complaint += "a handle or the lock was left; ";
        return complaint;
    }

    // After a run that ran to its end, the install record of each printer whose queues it
    // changed, by its own work or by a repair, names the queue's port, or is gone with the queue.
    std::string RecordComplaint(const Op& op, const Snapshot& before) {
        const Snapshot now = Take(*this);
        std::vector<std::wstring> printers;
        if (op.kind != Kind::kRestore && op.kind != Kind::kDefault)
            printers.push_back(kPrinters[op.printer]);
        for (const auto& [name, journal] : now.journals) {
            const auto old = before.journals.find(name);
            if (old == before.journals.end() || old->second.Format() != journal.Format())
                printers.push_back(journal.printer);
        }
        std::sort(printers.begin(), printers.end());
        printers.erase(std::unique(printers.begin(), printers.end()), printers.end());
        std::string out;
        for (const std::wstring& printer : printers) {
            const auto record = installRecords.records.find(printer);
            const QueueRecord* queue = Find(now, printer);
            if (record == installRecords.records.end())
                continue;
            if (queue == nullptr)
                out += "the record of " + Narrow(printer) + " names a queue that is gone; ";
            else if (record->second.port != Device(*queue))
                out += "the record of " + Narrow(printer) + " names the port " +
                       Narrow(record->second.port) + ", the queue has " + Narrow(Device(*queue)) +
                       "; ";
        }
        return out;
    }

    void Work(const Op& op, CSetupRun& run, bool begun) {
        if (!begun) {
            run.End(false, L"not begun");
            return;
        }
        switch (op.kind) {
            case Kind::kFinish:
            case Kind::kInstall: {
                if (run.CheckExisting())
                    run.Remove();
                const int32_t result = run.Install();
                if (result != 0)
                    run.ApplyOptions();
                else
                    run.Restore();
                // As the console's install records what it installed.
                if (result != 0 && op.kind == Kind::kInstall)
                    installRecords.Write({kPrinters[op.printer], L"RV", Port(op), L"1", L"now"});
                run.End(result);
                return;
            }
            case Kind::kRemove: {
                run.Remove();
                const bool removed = run.ConfirmRemoval();
                if (removed)
                    installRecords.Delete(kPrinters[op.printer]);
                run.End(removed, L"removed");
                return;
            }
            case Kind::kRestore:
                run.End(run.RestoreFile(L"", op.pick % 2 == 0), L"restored");
                return;
            default:
                Services().spooler->SetDefaultPrinter(kPrinters[op.printer]);
                run.End(true, L"made the default");
                return;
        }
    }
};

// The complaint of the first step of the sequence the model disagrees with, or empty.
std::string Replay(const std::vector<Op>& ops) {
    auto world = std::make_unique<World>();
    for (size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].kind >= Kind::kDeleteQueue) {
            world->Outside(ops[i]);
            continue;
        }
        const std::string complaint = world->Run(ops[i], static_cast<int>(i));
        if (!complaint.empty())
            return "step " + std::to_string(i) + " (" + Describe(ops[i]) + "): " + complaint;
    }
    return std::string();
}

// The fewest steps of a failing sequence that still fail, each as plain as still fails.
std::vector<Op> Shrink(std::vector<Op> ops) {
    for (bool smaller = true; smaller;) {
        smaller = false;
        for (size_t i = 0; i < ops.size();) {
            std::vector<Op> without;
            for (size_t j = 0; j < ops.size(); ++j) {
                if (j != i)
                    without.push_back(ops[j]);
            }
            if (Replay(without).empty()) {
                ++i;
                continue;
            }
            ops.swap(without);
            smaller = true;
        }
        for (Op& op : ops) {
            // Each fault taken away in turn, kept away while the sequence still fails.
            for (int fault = 0; fault < 3; ++fault) {
                const Op kept = op;
                bool& flag = fault == 0 ? op.outage : op.otherAccount;
                if (fault == 2 ? op.stopAt < 0 : !flag)
                    continue;
                if (fault == 2)
                    op.stopAt = -1;
                else
                    flag = false;
                if (!Replay(ops).empty())
                    smaller = true;
                else
                    op = kept;
            }
        }
    }
    return ops;
}

std::vector<Op> Sequence(unsigned number) {
    std::mt19937 random(number);
    std::vector<Op> ops(4 + random() % 9);
    for (Op& op : ops)
        op = RandomOp(random);
    return ops;
}

TEST(JournalRepairModelTest, EveryRepairInRandomRunsKillsOutagesAndOutsideChangesIsAsTheRulesSay) {
    const char* only = std::getenv("KORVEL_MODEL_SEQUENCE");
    const char* count = std::getenv("KORVEL_MODEL_SEQUENCES");
    const unsigned first = only ? static_cast<unsigned>(std::strtoul(only, nullptr, 10)) : 1;
    const unsigned sequences = only    ? 1
                               : count ? static_cast<unsigned>(std::strtoul(count, nullptr, 10))
                                       : 2000;
    unsigned runs = 0;
    for (unsigned number = first; number < first + sequences; ++number) {
        const std::vector<Op> ops = Sequence(number);
        runs += static_cast<unsigned>(ops.size());
        if (Replay(ops).empty())
            continue;
        const std::vector<Op> shrunk = Shrink(ops);
        std::string steps;
        for (const Op& op : shrunk)
            steps += "\n  " + Describe(op);
        FAIL() << "sequence " << number << " (KORVEL_MODEL_SEQUENCE=" << number
               << " replays it), shrunk to " << shrunk.size() << " steps:" << steps << "\n"
               << Replay(shrunk);
    }
    std::printf("model sequences: %u, steps: %u\n", sequences, runs);
    RecordProperty("sequences", static_cast<int>(sequences));
}

}  // namespace
