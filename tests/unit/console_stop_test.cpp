#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/console_stop.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Action = CConsoleStop::Action;
using Kind = CConsoleStop::Kind;

// Longer than any test may take: a wait that runs to it has failed.
constexpr milliseconds kLongBound{10000};
constexpr milliseconds kPromptly{5000};

TEST(ConsoleStopTest, AStopEndsNowOrGoesOnWithoutWaiting) {
    const struct {
        const char* what;
        Kind kind;
        bool allowed;
        bool settled;
        Action action;
    } cases[] = {
        {"Ctrl+C during a change", Kind::kInterrupt, false, false, Action::kGoOn},
        {"Ctrl+C while reading", Kind::kInterrupt, true, false, Action::kEndNow},
        {"close while reading", Kind::kEnding, true, false, Action::kEndNow},
        {"close after the run settled", Kind::kEnding, false, true, Action::kGoOn},
    };
    for (const auto& c : cases) {
        CConsoleStop stop;
        stop.AllowImmediate(c.allowed);
        if (c.settled)
            stop.Settle();
        const auto start = Clock::now();
        EXPECT_EQ(stop.Arrive(c.kind, kLongBound), c.action) << c.what;
        EXPECT_LT(Clock::now() - start, kPromptly) << c.what;
        EXPECT_TRUE(stop.Requested()) << c.what;
    }
}

TEST(ConsoleStopTest, AllowingAnImmediateStopAfterAStopEndsNow) {
    const struct {
        bool stopped;
        bool allowed;
        Action action;
    } cases[] = {
        {false, true, Action::kGoOn},
        {true, true, Action::kEndNow},
        {true, false, Action::kGoOn},
    };
    for (const auto& c : cases) {
        CConsoleStop stop;
        if (c.stopped)
            stop.Arrive(Kind::kInterrupt, kLongBound);
        EXPECT_EQ(stop.AllowImmediate(c.allowed), c.action) << c.stopped << c.allowed;
    }
}

// The run sees the stop while the close waits, puts back what it removed and says so: the wait
// ends then, not at its bound.
TEST(ConsoleStopTest, ACloseWaitsForTheRunToSettleAndNoLonger) {
    CConsoleStop stop;
    std::thread run([&] {
        const auto giveUp = Clock::now() + 2 * kLongBound;
        while (!stop.Requested() && Clock::now() < giveUp)
            std::this_thread::sleep_for(milliseconds(10));
        std::this_thread::sleep_for(milliseconds(50));
        stop.Settle();
    });
    const auto start = Clock::now();
    EXPECT_EQ(stop.Arrive(Kind::kEnding, kLongBound), Action::kGoOn);
    const auto waited = Clock::now() - start;
    run.join();
    EXPECT_GE(waited, milliseconds(50));
    EXPECT_LT(waited, kPromptly);
}

TEST(ConsoleStopTest, ACloseThatNeverSettlesWaitsForTheBound) {
    CConsoleStop stop;
    const auto start = Clock::now();
    EXPECT_EQ(stop.Arrive(Kind::kEnding, milliseconds(300)), Action::kGoOn);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(300));
    EXPECT_LT(waited, kPromptly);
}

}  // namespace
