// Several sessions in one process: each has its own driver, engines and timer,
// and nothing one does reaches the other.
#include "SessionBench.h"

#include <gtest/gtest.h>

TEST(TwoSessions, UpdateTwoCardsAtOnceOverTcp)
{
    RunBench first(Transport::Tcp);
    RunBench second(Transport::Tcp);
    const UpdateBundle firstBundle = WriteUpdateBundle(first.Bench.Dir);
    const UpdateBundle secondBundle = WriteUpdateBundle(second.Bench.Dir);
    // Different images, so a byte meant for one card cannot pass for the other's.
    second.Bench.Dir.Write("MB/BANK1.HEX", JoinLines(HexLines(0x8000, 9, 7)));
    first.Open();
    second.Open();

    first.Bench.Begin();
    second.Bench.Begin();
    // Both are under way before either has ended.
    ASSERT_TRUE(WaitUntil([&] { return first.Bench.HasLine("Device ID : AAAA") && second.Bench.HasLine("Device ID : AAAA"); }));
    EXPECT_TRUE(first.Bench.RunEnds.empty() && second.Bench.RunEnds.empty());
    // A run ends, then the next idle tick prompts for START: wait for both prompts,
    // so that the two lists are compared at the same point.
    const auto endedAndPrompted = [](const RunBench& run) {
        return !run.Bench.RunEnds.empty() && run.Bench.HasLine("Click on button START to begin program operation");
    };
    ASSERT_TRUE(WaitUntil([&] { return endedAndPrompted(first) && endedAndPrompted(second); }, 30000));

    const std::vector<TUpdateSession::TRunResult> completed{TUpdateSession::TRunResult::Completed};
    EXPECT_EQ(first.Bench.RunEnds, completed);
    EXPECT_EQ(second.Bench.RunEnds, completed);
    EXPECT_TRUE(HoldsBundle(first.Sim(), firstBundle));
    EXPECT_TRUE(HoldsImage(second.Sim().Bank(1), HexLines(0x8000, 9, 7)));
    EXPECT_FALSE(HoldsImage(second.Sim().Bank(1), secondBundle.Bank1));
    EXPECT_TRUE(HoldsImage(second.Sim().Bank(0), secondBundle.Bank0));
    EXPECT_EQ(first.Bench.RunLines(), second.Bench.RunLines());
}

TEST(TwoSessions, OneFailingLeavesTheOtherRunning)
{
    CardOptions refusing;
    refusing.Faults.Refused = {"P1"};
    RunBench failing(Transport::Tcp, refusing);
    RunBench healthy(Transport::Udp);
    WriteUpdateBundle(failing.Bench.Dir);
    const UpdateBundle bundle = WriteUpdateBundle(healthy.Bench.Dir);
    failing.Open();
    healthy.Open();
    failing.Bench.Begin();
    healthy.Bench.Begin();
    ASSERT_TRUE(WaitUntil([&] { return !failing.Bench.RunEnds.empty() && !healthy.Bench.RunEnds.empty(); }, 30000));
    EXPECT_EQ(failing.Bench.RunEnds, std::vector<TUpdateSession::TRunResult>{TUpdateSession::TRunResult::Failed});
    EXPECT_EQ(healthy.Bench.RunEnds, std::vector<TUpdateSession::TRunResult>{TUpdateSession::TRunResult::Completed});
    EXPECT_TRUE(healthy.Bench.Boxes.empty());
    EXPECT_TRUE(HoldsBundle(healthy.Sim(), bundle));
}
