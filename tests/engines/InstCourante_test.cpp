#include "InstCourante.h"

#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// The engine with its host, its three own events recorded and a clock the test moves by hand.
struct Bench {
    TInstCrt Engine;
    TestHost Host{Engine};
    std::uint32_t Now = 1000;
    Strings CardEvents;

    Bench()
    {
        Engine.TickCount = [this] { return Now; };
        Engine.OnVersionSame = [this](TGestionnaire&, std::int32_t n) { CardEvents.push_back("same:" + std::to_string(n)); };
        Engine.OnCardError = [this](TGestionnaire&, std::int32_t n) { CardEvents.push_back("error:" + std::to_string(n)); };
        Engine.OnCardReady = [this](TGestionnaire&, std::int32_t n) { CardEvents.push_back("ready:" + std::to_string(n)); };
    }

    void Run(const std::string& line, std::map<std::string, std::string> answers = {})
    {
        Host.Card = AnswerTable(std::move(answers));
        RunLine(Engine, line, 50);
    }
};

}  // namespace

TEST(CardCheckExchanges, CommandsRepliesAndEventsInOrder)
{
    const struct {
        const char* Line;
        std::map<std::string, std::string> Answers;
        Strings Transcript;
        Strings Events;
    } cases[] = {
        {"V1 0102", {{"V1", "."}, {"0102", "."}}, {"> V1", "< .", "> 0102", "< ."},
         {"busy:1", "send:V1", "max:2", "step", "send:0102", "step", "busy:0"}},
        {"UV 0200", {{"UV", "."}, {"0200", "."}}, {"> UV", "< .", "> 0200", "< ."},
         {"busy:1", "send:UV", "max:2", "step", "send:0200", "step", "busy:0"}},
        {"OP  00A5 ", {{"OP", "."}, {"00A5", "."}}, {"> OP", "< .", "> 00A5", "< ."},
         {"busy:1", "max:2", "send:OP", "step", "send:00A5", "step", "busy:0"}},
        {"RS", {{"RS", "."}}, {"> RS", "< ."}, {"busy:1", "info:Reset", "send:RS", "busy:0"}},
        {"NP", {{"NP", "."}}, {"> NP", "< ."}, {"busy:1", "send:NP", "busy:0"}},
        {"FI", {{"FI", "."}}, {"> FI", "< ."}, {"busy:1", "send:FI", "busy:0"}},
        {"FY", {{"FY", "."}}, {"> FY", "< ."}, {"busy:1", "info: Starting ", "send:FY", "busy:0"}},
        {"prompt   Insert the card ", {}, {}, {"busy:1", "info:Insert the card", "busy:0"}},
        {"prompt", {}, {}, {"busy:1", "info:", "busy:0"}},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Run(c.Line, c.Answers);
        EXPECT_EQ(bench.Host.Transcript, c.Transcript) << c.Line;
        EXPECT_EQ(bench.Host.Events, c.Events) << c.Line;
        EXPECT_EQ(bench.Engine.GetState(), TInstCrt::InstState::Idle) << c.Line;
    }
}

TEST(CardCheckExchanges, VersionTestRaisesVersionSameOnlyOnAnExactMatch)
{
    Bench same;
    same.Run("T1 0102", {{"T1", ".0102."}});
    EXPECT_EQ(same.Host.Transcript, (Strings{"> T1", "< .0102."}));
    EXPECT_EQ(same.Host.Events, (Strings{"busy:1", "send:T1", "max:2", "step", "step", "busy:0"}));
    EXPECT_EQ(same.CardEvents, (Strings{"same:1"}));

    const std::pair<const char*, const char*> others[] = {{"T1 0102", ".0103."}, {"TA abcd", ".ABCD."}};
    for (const auto& [line, reply] : others) {
        Bench other;
        other.Run(line, {{std::string(line, 2), reply}});
        EXPECT_TRUE(other.CardEvents.empty()) << line;
        EXPECT_FALSE(other.Engine.IsBusy()) << line;
        EXPECT_TRUE(other.Host.EventsOf("error").empty()) << line;
    }
    Bench hexComponent;
    hexComponent.Run("TB  abcd", {{"TB", ".abcd."}});
    EXPECT_EQ(hexComponent.CardEvents, (Strings{"same:11"}));
}

TEST(CardCheckExchanges, VersionReplyNeedsItsDotAtTheFifthCharacter)
{
    Bench bench;
    bench.Run("T2 0102", {{"T2", "."}});
    ASSERT_EQ(bench.Engine.GetState(), TInstCrt::InstState::CompareVersion);
    for (const char* early : {"010.", ".", "01020."}) {
        bench.Host.Received = early;
        bench.Engine.Step();
        EXPECT_EQ(bench.Engine.GetState(), TInstCrt::InstState::CompareVersion) << early;
    }
    // Everything after the version goes as well.
    bench.Host.Received = "0102.X.I";
    StepWhileBusy(bench.Engine, 5);
    EXPECT_EQ(bench.Host.Received, "");
    EXPECT_EQ(bench.CardEvents, (Strings{"same:2"}));
}

TEST(CardCheckExchanges, PingReportsTheCardEitherWay)
{
    Bench ok;
    ok.Run("M3", {{"M3", "."}});
    EXPECT_EQ(ok.Host.Transcript, (Strings{"> M3", "< ."}));
    EXPECT_EQ(ok.Host.EventsOf("info"), (Strings{"Ping Card 3", "Ping OK"}));
    EXPECT_EQ(ok.CardEvents, (Strings{"ready:3"}));

    // "I" is a failed ping like "X", not an unknown instruction: the run goes on.
    for (const char* refusal : {"X", "I"}) {
        Bench failed;
        failed.Run("M 7", {{"M7", refusal}});
        EXPECT_EQ(failed.Host.EventsOf("info"), (Strings{"Ping Card 7", "Ping Error"}));
        EXPECT_EQ(failed.CardEvents, (Strings{"error:7"}));
        EXPECT_TRUE(failed.Host.EventsOf("error").empty());
        EXPECT_FALSE(failed.Engine.IsBusy());
    }
}

TEST(CardCheckLines, TakesItsCaseSensitiveKeywordsOnlyAndKeepsItsLineWhileBusy)
{
    for (const char* foreign : {"SYN", "PB BOOT.HEX", "P2 BANK.HEX", "D8", "F3", "rs", "Prompt x", "CM", ""}) {
        Bench bench;
        bench.Engine.SetCommandLine(foreign);
        bench.Engine.Step();
        EXPECT_TRUE(bench.Host.Events.empty()) << foreign;
    }
    // Taking a line sends nothing yet; a line offered while busy is ignored.
    Bench bench;
    bench.Engine.SetCommandLine("NP");
    bench.Engine.Step();
    EXPECT_TRUE(bench.Engine.IsBusy());
    EXPECT_TRUE(bench.Host.Sent.empty());
    bench.Engine.Step();
    bench.Engine.SetCommandLine("RS");
    bench.Engine.Step();
    bench.Host.Received = ".";
    StepWhileBusy(bench.Engine, 5);
    EXPECT_EQ(bench.Host.Sent, (Strings{"NP"}));
}

TEST(CardCheckFailures, RefusalsEndTheOperationAndHaltUntilReset)
{
    const struct {
        const char* Line;
        std::map<std::string, std::string> Answers;
        const char* Message;
    } cases[] = {
        {"RS", {{"RS", "I"}}, "Instruction unknown"},
        {"NP", {{"NP", "I"}}, "Instruction unknown"},
        {"FI", {{"FI", "I"}}, "Instruction unknown"},
        {"FY", {{"FY", "I"}}, "Instruction unknown"},
        {"V1 0102", {{"V1", "I"}}, "Instruction unknown"},
        {"T1 0102", {{"T1", "I"}}, "Instruction unknown"},
        {"UV 0200", {{"UV", "I"}}, "Instruction unknown"},
        {"OP 0012", {{"OP", "I"}}, "Instruction unknown"},
        {"V1 0102", {{"V1", "."}, {"0102", "X"}}, "Error while writing version number !!!"},
        {"UV 0200", {{"UV", "."}, {"0200", "X"}}, "Error while writing version number !!!"},
        {"OP 0012", {{"OP", "."}, {"0012", "X"}}, "Error while writing version number !!!"},
        {"T1 0102", {{"T1", ".X"}}, "Error while reading version number !!!"},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Run(c.Line, c.Answers);
        EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{c.Message})) << c.Line;
        EXPECT_EQ(bench.Host.Events.end()[-2], "busy:0") << c.Line;
        EXPECT_EQ(bench.Host.Received, "") << c.Line;
        EXPECT_EQ(bench.Engine.GetState(), TInstCrt::InstState::Halted) << c.Line;

        const std::size_t sent = bench.Host.Sent.size();
        bench.Run("NP", {{"NP", "."}});
        EXPECT_EQ(bench.Host.Sent.size(), sent) << c.Line;
    }
    Bench bench;
    bench.Run("RS", {{"RS", "I"}});
    bench.Engine.Reset();
    bench.Run("NP", {{"NP", "."}});
    EXPECT_EQ(bench.Host.Sent, (Strings{"RS", "NP"}));
}

TEST(CardCheckFailures, UnusableArgumentsEndTheOperationWithoutSending)
{
    const std::pair<const char*, const char*> cases[] = {
        {"V", "Missing component number !!!"},
        {"V  ", "Missing component number !!!"},
        {"T", "Missing component number !!!"},
        {"M", "Missing card number !!!"},
        {"MA", "Bad card number : A"},
        {"M-1", "Bad card number : -"},
        {"wait", "Bad wait duration : "},
        {"wait 1.5", "Bad wait duration : 1.5"},
        {"wait ten", "Bad wait duration : ten"},
        {"wait -5", "Bad wait duration : -5"},
        {"wait $10", "Bad wait duration : $10"},
        {"wait 0x10", "Bad wait duration : 0x10"},
        {"wait 2147483648", "Bad wait duration : 2147483648"},
        // The card stores texts of four characters: another length would be cut or padded there.
        {"V1 015", "Version is not 4 characters : 015"},
        {"V1 01500", "Version is not 4 characters : 01500"},
        {"V1", "Version is not 4 characters : "},
        {"T9 01200", "Version is not 4 characters : 01200"},
        {"UV 15", "Version is not 4 characters : 15"},
        {"OP  00 ", "Option code is not 4 characters : 00"},
    };
    for (const auto& [line, message] : cases) {
        Bench bench;
        bench.Run(line);
        EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{message})) << line;
        EXPECT_TRUE(bench.Host.Sent.empty()) << line;
        EXPECT_FALSE(bench.Engine.IsBusy()) << line;
        EXPECT_EQ(bench.Engine.GetState(), TInstCrt::InstState::Halted) << line;
    }
}

TEST(CardCheckWait, EndsOnceMoreThanTheDurationHasPassedAcrossTheWrap)
{
    const struct {
        const char* Line;
        std::uint32_t Start;
        std::uint32_t LastWaiting;
    } cases[] = {
        {"wait +250", 1000, 1250},
        {"wait 0", 1000, 1000},
        {"wait 1000", 0xFFFFFF00u, 0x000002E8u},  // 1000 ms later, past the wrap
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Now = c.Start;
        bench.Run(c.Line);
        bench.Now = c.LastWaiting;
        bench.Engine.Step();
        EXPECT_EQ(bench.Engine.GetState(), TInstCrt::InstState::Waiting) << c.Line;
        bench.Now += 1;
        StepWhileBusy(bench.Engine, 2);
        EXPECT_EQ(bench.Host.Events, (Strings{"busy:1", "busy:0"})) << c.Line;
    }
}
