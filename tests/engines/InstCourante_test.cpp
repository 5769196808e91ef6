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
        Engine.OnVersionSame = [this](TGestionnaire&, std::int32_t component) {
            CardEvents.push_back("same:" + std::to_string(component));
        };
        Engine.OnCardError = [this](TGestionnaire&, std::int32_t card) {
            CardEvents.push_back("carderror:" + std::to_string(card));
        };
        Engine.OnCardReady = [this](TGestionnaire&, std::int32_t card) {
            CardEvents.push_back("cardready:" + std::to_string(card));
        };
    }

    void Run(const std::string& line, std::map<std::string, std::string> answers)
    {
        Host.Card = AnswerTable(std::move(answers));
        RunLine(Engine, line, 50);
    }
};

}  // namespace

TEST(CardCheckExchanges, WriteVersion)
{
    Bench bench;
    bench.Run("V1 0102", {{"V1", "."}, {"0102", "."}});
    EXPECT_EQ(bench.Host.Transcript, (Strings{"> V1", "< .", "> 0102", "< ."}));
    EXPECT_EQ(bench.Host.Events,
              (Strings{"busy:1", "send:V1", "max:2", "step", "send:0102", "step", "busy:0"}));
    EXPECT_EQ(bench.Engine.GetState(), 0);
}

TEST(CardCheckExchanges, TestVersionRaisesVersionSameOnlyOnAnExactMatch)
{
    Bench same;
    same.Run("T1 0102", {{"T1", ".0102."}});
    EXPECT_EQ(same.Host.Transcript, (Strings{"> T1", "< .0102."}));
    EXPECT_EQ(same.CardEvents, (Strings{"same:1"}));
    EXPECT_EQ(same.Host.Events, (Strings{"busy:1", "send:T1", "max:2", "step", "step", "busy:0"}));

    Bench other;
    other.Run("T1 0102", {{"T1", ".0103."}});
    EXPECT_TRUE(other.CardEvents.empty());
    EXPECT_FALSE(other.Engine.IsBusy());
    EXPECT_TRUE(other.Host.EventsOf("error").empty());

    // The component is one hexadecimal character; the comparison is case-sensitive.
    Bench hexComponent;
    hexComponent.Run("TA abcd", {{"TA", ".ABCD."}});
    EXPECT_EQ(hexComponent.Host.Sent, (Strings{"TA"}));
    EXPECT_TRUE(hexComponent.CardEvents.empty());
    Bench lowerCase;
    lowerCase.Run("TB  abcd", {{"TB", ".abcd."}});
    EXPECT_EQ(lowerCase.CardEvents, (Strings{"same:11"}));
}

TEST(CardCheckExchanges, VersionReplyNeedsItsDotAtTheFifthCharacter)
{
    Bench bench;
    bench.Host.Card = AnswerTable({{"T2", "."}});
    bench.Engine.SetCommandLine("T2 0102");
    for (int i = 0; i < 4; ++i)
        bench.Engine.Step();
    ASSERT_EQ(bench.Engine.GetState(), 17);

    for (const char* early : {"010.", ".", "01020."}) {
        bench.Host.Received = early;
        bench.Engine.Step();
        EXPECT_EQ(bench.Engine.GetState(), 17) << early;
        EXPECT_EQ(bench.Host.Received, early);
    }
    // Everything after the version goes as well.
    bench.Host.Received = "0102.X.I";
    StepWhileBusy(bench.Engine, 5);
    EXPECT_EQ(bench.Host.Received, "");
    EXPECT_EQ(bench.CardEvents, (Strings{"same:2"}));
}

TEST(CardCheckExchanges, UserVersionAndOptionCode)
{
    Bench version;
    version.Run("UV 0200", {{"UV", "."}, {"0200", "."}});
    EXPECT_EQ(version.Host.Transcript, (Strings{"> UV", "< .", "> 0200", "< ."}));
    EXPECT_EQ(version.Host.Progress, 2);

    Bench option;
    option.Run("OP  A5 ", {{"OP", "."}, {"A5", "."}});
    EXPECT_EQ(option.Host.Transcript, (Strings{"> OP", "< .", "> A5", "< ."}));
    EXPECT_EQ(option.Host.Events,
              (Strings{"busy:1", "max:2", "send:OP", "step", "send:A5", "step", "busy:0"}));
}

TEST(CardCheckExchanges, SingleCommands)
{
    const std::pair<std::string, Strings> cases[] = {
        {"RS", {"busy:1", "info:Reset", "send:RS", "busy:0"}},
        {"NP", {"busy:1", "send:NP", "busy:0"}},
        {"FI", {"busy:1", "send:FI", "busy:0"}},
        {"FY", {"busy:1", "info: Starting ", "send:FY", "busy:0"}},
    };
    for (const auto& [line, events] : cases) {
        Bench bench;
        bench.Run(line, {{line, "."}});
        EXPECT_EQ(bench.Host.Events, events) << line;
        EXPECT_EQ(bench.Host.Received, "") << line;
    }
}

TEST(CardCheckExchanges, PingReportsTheCardEitherWay)
{
    Bench ok;
    ok.Run("M3", {{"M3", "."}});
    EXPECT_EQ(ok.Host.Transcript, (Strings{"> M3", "< ."}));
    EXPECT_EQ(ok.Host.EventsOf("info"), (Strings{"Ping Card 3", "Ping OK"}));
    EXPECT_EQ(ok.CardEvents, (Strings{"cardready:3"}));

    // "I" is a failed ping like "X", not an unknown instruction: the run goes on.
    for (const char* refusal : {"X", "I"}) {
        Bench failed;
        failed.Run("M 7", {{"M7", refusal}});
        EXPECT_EQ(failed.Host.EventsOf("info"), (Strings{"Ping Card 7", "Ping Error"}));
        EXPECT_EQ(failed.CardEvents, (Strings{"carderror:7"}));
        EXPECT_TRUE(failed.Host.EventsOf("error").empty());
        EXPECT_FALSE(failed.Engine.IsBusy());
    }
}

TEST(CardCheckLines, KeywordsAreCaseSensitivePrefixesTestedInOrder)
{
    Bench prompt;
    prompt.Run("prompt   Insert the card ", {});
    EXPECT_EQ(prompt.Host.Events, (Strings{"busy:1", "info:Insert the card", "busy:0"}));
    Bench emptyPrompt;
    emptyPrompt.Run("prompt", {});
    EXPECT_EQ(emptyPrompt.Host.EventsOf("info"), (Strings{""}));

    // Taking a line sends nothing yet; the work starts with the next step.
    Bench taken;
    taken.Engine.SetCommandLine("RS");
    taken.Engine.Step();
    EXPECT_TRUE(taken.Engine.IsBusy());
    EXPECT_TRUE(taken.Host.Sent.empty());

    for (const char* foreign : {"SYN", "PB BOOT.HEX", "P2 BANK.HEX", "D8", "F3", "rs", "Prompt x", "U V", "CM", ""}) {
        Bench bench;
        bench.Engine.SetCommandLine(foreign);
        bench.Engine.Step();
        EXPECT_FALSE(bench.Engine.IsBusy()) << foreign;
        EXPECT_TRUE(bench.Host.Events.empty()) << foreign;
    }
}

TEST(CardCheckLines, BusyEngineKeepsItsLine)
{
    Bench bench;
    bench.Engine.SetCommandLine("NP");
    bench.Engine.Step();
    bench.Engine.Step();
    bench.Engine.SetCommandLine("RS");
    bench.Engine.Step();
    bench.Host.Received = ".";
    StepWhileBusy(bench.Engine, 5);
    EXPECT_EQ(bench.Host.Sent, (Strings{"NP"}));
}

TEST(CardCheckFailures, RefusalsEndTheOperationWithTheirMessage)
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
        {"OP 12", {{"OP", "I"}}, "Instruction unknown"},
        {"V1 0102", {{"V1", "."}, {"0102", "X"}}, "Error while writing version number !!!"},
        {"UV 0200", {{"UV", "."}, {"0200", "X"}}, "Error while writing version number !!!"},
        {"OP 12", {{"OP", "."}, {"12", "X"}}, "Error while writing version number !!!"},
        {"T1 0102", {{"T1", ".X"}}, "Error while reading version number !!!"},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Run(c.Line, c.Answers);
        EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{c.Message})) << c.Line;
        EXPECT_EQ(bench.Host.Events.end()[-2], "busy:0") << c.Line;
        EXPECT_EQ(bench.Host.Received, "") << c.Line;
        EXPECT_EQ(bench.Engine.GetState(), 9) << c.Line;
    }
}

TEST(CardCheckFailures, HaltedUntilReset)
{
    Bench bench;
    bench.Run("RS", {{"RS", "I"}, {"NP", "."}});
    bench.Engine.SetCommandLine("NP");
    bench.Engine.Step();
    bench.Engine.Step();
    EXPECT_FALSE(bench.Engine.IsBusy());
    EXPECT_EQ(bench.Host.Sent, (Strings{"RS"}));

    bench.Engine.Reset();
    EXPECT_EQ(bench.Engine.GetState(), 0);
    EXPECT_EQ(bench.Engine.GetErrorText(), "");
    RunLine(bench.Engine, "NP", 10);
    EXPECT_EQ(bench.Host.Sent, (Strings{"RS", "NP"}));
}

TEST(CardCheckFailures, OtherRepliesKeepTheEngineWaiting)
{
    Bench bench;
    bench.Run("V1 0102", {{"V1", "R"}});
    EXPECT_TRUE(bench.Engine.IsBusy());
    EXPECT_EQ(bench.Engine.GetState(), 13);
    EXPECT_EQ(bench.Host.Received, "R");
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
    };
    for (const auto& [line, message] : cases) {
        Bench bench;
        RunLine(bench.Engine, line, 10);
        EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{message})) << line;
        EXPECT_TRUE(bench.Host.Sent.empty()) << line;
        EXPECT_FALSE(bench.Engine.IsBusy()) << line;
        EXPECT_EQ(bench.Engine.GetState(), 9) << line;
    }
}

TEST(CardCheckWait, EndsOnlyOnceMoreThanTheDurationHasPassed)
{
    Bench bench;
    bench.Engine.SetCommandLine("wait +250");
    bench.Engine.Step();
    bench.Engine.Step();
    ASSERT_EQ(bench.Engine.GetState(), 3);
    bench.Now += 250;
    bench.Engine.Step();
    EXPECT_EQ(bench.Engine.GetState(), 3);
    bench.Now += 1;
    bench.Engine.Step();
    StepWhileBusy(bench.Engine, 2);
    EXPECT_FALSE(bench.Engine.IsBusy());
    EXPECT_EQ(bench.Host.Events, (Strings{"busy:1", "busy:0"}));
}

TEST(CardCheckWait, ZeroEndsOnTheFirstTick)
{
    Bench bench;
    bench.Engine.SetCommandLine("wait 0");
    for (int i = 0; i < 5; ++i)
        bench.Engine.Step();
    EXPECT_EQ(bench.Engine.GetState(), 3);
    bench.Now += 1;
    StepWhileBusy(bench.Engine, 3);
    EXPECT_FALSE(bench.Engine.IsBusy());
}

TEST(CardCheckWait, SurvivesTheTickCountWrapping)
{
    Bench bench;
    bench.Now = 0xFFFFFF00u;
    bench.Engine.SetCommandLine("wait 1000");
    bench.Engine.Step();
    bench.Engine.Step();
    bench.Now = 0x000002E8u;  // 1000 ms later, past the wrap
    bench.Engine.Step();
    EXPECT_EQ(bench.Engine.GetState(), 3);
    bench.Now += 1;
    bench.Engine.Step();
    EXPECT_EQ(bench.Engine.GetState(), 8);
}
