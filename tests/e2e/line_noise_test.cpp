// A real serial line puts stray bytes in front of the card's replies, and a
// broken one may carry nothing but such bytes: the bundled example against a
// card that makes noise, and a card that sends nothing else.
#include "ExampleRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace {

class NoisyLine : public ::testing::TestWithParam<Link> {};

// Resident memory of a process in KiB; 0 once it is gone.
long ResidentKiB(pid_t process)
{
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

}  // namespace

TEST_P(NoisyLine, ExampleCompletesWithExactImagesAndCountsTheNoise)
{
    ExampleRun run(GetParam(), {"--seed", "5", "--noise-rate", "0.05"});
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    EXPECT_EQ(update.ExitCode, 0) << update.Out << update.Err;
    ASSERT_FALSE(SplitLines(update.Out).empty());
    EXPECT_TRUE(Contains(update.Out, "\nProgram operation completed\nProgrammed: ")) << update.Out;

    const std::vector<QJsonObject> reports = run.Reports();
    ASSERT_EQ(reports.size(), 1u);
    const QJsonObject state = run.CardState();
    const double sent = state["counts"].toObject()["noise_bytes"].toDouble();
    const double dropped = reports[0]["noise_bytes_dropped"].toDouble();
    EXPECT_GT(dropped, 0);
    // Noise in front of a reply that a wait clears whole is not counted twice.
    EXPECT_LE(dropped, sent);
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 0) << check.Out;
}

INSTANTIATE_TEST_SUITE_P(Links, NoisyLine, ::testing::Values(Link::Pty, Link::Tcp),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

// A card that only chatters is silent: the time-out ends the run as failed, in
// time, and the bytes it sends are dropped as they come.
TEST(NoisyLine, CardSendingOnlyNoiseFailsOnTheTimeOut)
{
    ExampleRun run(Link::Tcp, {"--noise-only"});
    ASSERT_TRUE(run.CardStarted());
    ChildProcess updater;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.StartUpdate(updater, {"--timeout", "3"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const long early = ResidentKiB(updater.Pid());
    std::this_thread::sleep_for(std::chrono::milliseconds(1700));
    const long late = ResidentKiB(updater.Pid());
    EXPECT_EQ(updater.Wait(std::chrono::seconds(5)), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_GT(early, 0);
    EXPECT_LT(late - early, 1024) << early << " KiB, then " << late << " KiB";

    const std::vector<QJsonObject> reports = run.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]["result"].toString(), "failed");
    EXPECT_EQ(reports[0]["message"].toString(), "No reply from the card for 3 s");
    EXPECT_GT(reports[0]["noise_bytes_dropped"].toDouble(), 0);
    EXPECT_GT(run.CardState()["counts"].toObject()["noise_bytes"].toDouble(), 0);
}
