#include "progboot.h"

#include "TempDir.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const std::string L0 = ":024000000102BB";
const std::string L1 = "not a record, sent all the same";
const std::string L2 = ":00000001FF";
const std::string ThreeLines = L0 + "\r\n" + L1 + "\n" + L2 + "\r\n";

struct Bench {
    TProgBoot Engine;
    TestHost Host{Engine};
    TempDir Dir;

    Bench() { Engine.SetCurentDir(Dir.Path()); }
};

// A boot loader that acknowledges the upload, asking for the first lineRepeats
// line transmissions and the first recordRepeats checksum records again.
std::function<std::string(const std::string&)> RepeatingBootLoader(int lineRepeats, int recordRepeats)
{
    return [lineRepeats, recordRepeats](const std::string& sent) mutable -> std::string {
        if (sent == "PB")
            return "..";
        if (sent.starts_with(":0200000C"))
            return recordRepeats-- > 0 ? "R" : ".";
        return lineRepeats-- > 0 ? "R" : ".";
    };
}

}  // namespace

TEST(BootSync, SilentCardIsProbedOnEverySecondStep)
{
    Bench bench;
    bench.Engine.SetCommandLine("SYN");
    for (int i = 0; i < 21; ++i)
        bench.Engine.Step();
    EXPECT_EQ(bench.Host.Sent, Strings(10, "%"));
    EXPECT_TRUE(bench.Engine.IsBusy());
}

TEST(BootSync, FirstDeviceTypeRefusedSecondAccepted)
{
    Bench bench;
    int probes = 0;
    bench.Host.Card = [&probes](const std::string& sent) -> std::string {
        if (sent == "%")
            return ++probes == 2 ? "." : "";
        if (sent == "57")
            return "X";
        return sent == "58" ? ".1234AAAA." : "";
    };
    RunLine(bench.Engine, "SYN", 20);

    EXPECT_EQ(bench.Host.Transcript, (Strings{"> %", "> %", "< .", "> 57", "< X", "> 58", "< .1234AAAA."}));
    EXPECT_EQ(bench.Host.Events,
              (Strings{"busy:1", "send:%", "send:%", "info:Verify Device Type", "send:57", "send:58",
                       "info:Boot Checksum : B234", "info:Device ID : AAAA", "deviceid:43690", "busy:0"}));
    EXPECT_EQ(bench.Engine.GetDeviceID(), 0xAAAA);
    EXPECT_TRUE(bench.Engine.IsUpdateAllowed());
    EXPECT_EQ(bench.Engine.GetState(), TProgBoot::BootState::Idle);
    EXPECT_EQ(bench.Host.Received, "");
}

TEST(BootSync, BothDeviceTypesRefused)
{
    Bench bench;
    bench.Host.Card = AnswerTable({{"%", "."}, {"57", "X"}, {"58", "X"}});
    RunLine(bench.Engine, "SYN", 20);
    EXPECT_EQ(bench.Host.Sent, (Strings{"%", "57", "58"}));
    EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{"Bad type of device !!!"}));
    EXPECT_EQ(bench.Engine.GetState(), TProgBoot::BootState::Halted);
    EXPECT_EQ(bench.Engine.GetDeviceID(), 0);
}

TEST(BootSync, AnyDotMeansReadyAndTheIdentificationNeedsItsDotAtTheNinthCharacter)
{
    Bench bench;
    bench.Host.Card = AnswerTable({{"%", "ab.cd"}, {"57", "."}});
    RunLine(bench.Engine, "SYN", 20);
    ASSERT_EQ(bench.Engine.GetState(), TProgBoot::BootState::ReadIdentification);
    EXPECT_EQ(bench.Host.Sent, (Strings{"%", "57"}));
    EXPECT_EQ(bench.Host.Received, "");

    for (const char* early : {"1234AAA.", "1234AAAA", "1234AAAA0.", "."}) {
        bench.Host.Received = early;
        bench.Engine.Step();
        EXPECT_EQ(bench.Engine.GetState(), TProgBoot::BootState::ReadIdentification) << early;
        EXPECT_EQ(bench.Host.Received, early);
    }
    bench.Host.Received = "6000FFFF.more";
    StepWhileBusy(bench.Engine, 5);
    EXPECT_EQ(bench.Host.EventsOf("info").end()[-2], "Boot Checksum : 0000");
    EXPECT_EQ(bench.Engine.GetDeviceID(), 0xFFFF);
    EXPECT_EQ(bench.Host.Received, "");
}

TEST(BootUpload, ThreeLinesWithOneRepeat)
{
    Bench bench;
    bench.Dir.Write("BOOT.HEX", ThreeLines);
    int l1Sends = 0;
    bench.Host.Card = [&l1Sends](const std::string& sent) -> std::string {
        if (sent == "PB")
            return "..";
        return sent == L1 + "\r\n" && ++l1Sends == 1 ? "R" : ".";
    };
    RunLine(bench.Engine, "PB BOOT.HEX", 50);

    EXPECT_EQ(bench.Host.Transcript,
              (Strings{"> PB", "< ..", "> " + L0 + "\r\n", "< .", "> " + L0 + "\r\n", "< .", "> " + L1 + "\r\n",
                       "< R", "> " + L1 + "\r\n", "< .", "> " + L2 + "\r\n", "< .", "> :0200000CDE050F\r\n",
                       "< ."}));
    EXPECT_EQ(bench.Host.EventsOf("max"), (Strings{"5"}));
    EXPECT_EQ(bench.Host.Progress, 5);
    EXPECT_EQ(bench.Host.EventsOf("info"),
              (Strings{"Erase Extended Boot", "Upload Extended Boot", "Verify Checksum"}));
    EXPECT_TRUE(bench.Host.EventsOf("error").empty());
    EXPECT_EQ(bench.Engine.GetRetryCount(), 1);
    EXPECT_EQ(bench.Engine.GetState(), TProgBoot::BootState::Idle);
}

TEST(BootUpload, ChecksumRecordCarriesTheGivenValueOrTheExtendedBootAreaSum)
{
    // Bytes below 0x4000 and from 0x6000 on do not count; unwritten bytes count as FF.
    const std::string outside = ":0100000000FF\n:0140000000BF\n:01600000009F\n:00000001FF\n";
    const struct {
        const char* Line;
        const std::string& File;
        const char* Record;
    } cases[] = {
        {"PB BOOT.HEX", ThreeLines, ":0200000CDE050F\r\n"},
        {"PB BOOT.HEX   1234 ", ThreeLines, ":0200000C1234AC\r\n"},
        {"PB BOOT.HEX", outside, ":0200000CDF0112\r\n"},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Dir.Write("BOOT.HEX", c.File);
        bench.Host.Card = RepeatingBootLoader(0, 0);
        RunLine(bench.Engine, c.Line, 50);
        EXPECT_EQ(bench.Host.Sent.back(), c.Record) << c.Line;
    }
}

TEST(BootUpload, ThreeHundredRepeatsAreServedAcrossLinesAndRecordPerUpload)
{
    const struct {
        int LineRepeats;
        int RecordRepeats;
        std::size_t Sent;  // PB, 4 line transmissions, 1 record, and each served repeat
        bool Fails;
    } cases[] = {
        {200, 100, 6 + 300, false},
        {301, 0, 2 + 300, true},
        {150, 151, 6 + 300, true},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Dir.Write("BOOT.HEX", ThreeLines);
        bench.Host.Card = RepeatingBootLoader(c.LineRepeats, c.RecordRepeats);
        RunLine(bench.Engine, "PB BOOT.HEX", 2000);
        EXPECT_EQ(bench.Host.Sent.size(), c.Sent) << c.LineRepeats;
        EXPECT_EQ(bench.Host.EventsOf("error"), c.Fails ? Strings{"Too Many Transmission Error !!!"} : Strings{})
            << c.LineRepeats;
        EXPECT_FALSE(bench.Engine.IsBusy());
        if (c.Fails)
            continue;
        // The next upload starts counting again.
        bench.Host.Card = RepeatingBootLoader(300, 0);
        RunLine(bench.Engine, "PB BOOT.HEX", 2000);
        EXPECT_TRUE(bench.Host.EventsOf("error").empty());
    }
}

TEST(BootUpload, FailuresEndTheUploadWithTheirMessage)
{
    const struct {
        const char* Name;
        std::function<std::string(const std::string&)> Card;
        const char* Message;
    } cases[] = {
        {"I after PB", AnswerTable({{"PB", "I"}}), "Instruction unknown"},
        {"erase failed", AnswerTable({{"PB", ".X"}}), "Error while erasing !!!"},
        {"line refused", [](const std::string& sent) { return sent == "PB" ? ".." : sent == L2 + "\r\n" ? "X" : "."; },
         "Error while writing!!!"},
        {"checksum refused", [](const std::string& sent) { return sent == "PB" ? ".." : sent.starts_with(":0200000C") ? "X" : "."; },
         "Checksum Error"},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Dir.Write("BOOT.HEX", ThreeLines);
        bench.Host.Card = c.Card;
        RunLine(bench.Engine, "PB BOOT.HEX", 50);
        EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{c.Message})) << c.Name;
        EXPECT_EQ(bench.Host.Events.end()[-2], "busy:0") << c.Name;
        EXPECT_EQ(bench.Engine.GetState(), TProgBoot::BootState::Halted) << c.Name;
        EXPECT_EQ(bench.Host.Received, "") << c.Name;
    }
}

TEST(BootUpload, EmptyFileIsFoundOnlyAfterTheErase)
{
    Bench bench;
    bench.Dir.Write("EMPTY.HEX", "");
    bench.Host.Card = RepeatingBootLoader(0, 0);
    RunLine(bench.Engine, "PB EMPTY.HEX", 50);
    EXPECT_EQ(bench.Host.Sent, (Strings{"PB"}));
    EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{"Boot File Empty !!!"}));
    EXPECT_EQ(bench.Host.Progress, 1);
}

TEST(BootUpload, MissingFileSendsNothing)
{
    Bench bench;
    bench.Dir.Write("sub/OTHER.HEX", ":00000001FF");
    bench.Host.Card = RepeatingBootLoader(0, 0);
    for (const char* line : {"PB NOPE.HEX 1234", "PB sub", "PB"}) {
        bench.Engine.Reset();
        RunLine(bench.Engine, line, 50);
        EXPECT_TRUE(bench.Host.Sent.empty()) << line;
        EXPECT_EQ(bench.Engine.GetState(), TProgBoot::BootState::Halted) << line;
    }
    EXPECT_EQ(bench.Host.EventsOf("error"),
              (Strings{bench.Dir.Path() + "NOPE.HEX 1234 File not found !!!", bench.Dir.Path() + "sub File not found !!!",
                       bench.Dir.Path() + " File not found !!!"}));
}

TEST(BootLines, TakesSynAndBootUploadOnly)
{
    for (const char* line : {"SYN", "SYNC", "PB X.HEX", "P  B X.HEX"}) {
        Bench bench;
        bench.Engine.SetCommandLine(line);
        bench.Engine.Step();
        EXPECT_TRUE(bench.Engine.IsBusy()) << line;
        EXPECT_TRUE(bench.Host.Sent.empty()) << line;
    }
    for (const char* line : {"P2 BANK.HEX", "P", "PX", "pb X.HEX", "SY", "syn", "P8 FX.SVF", "RS", ""}) {
        Bench bench;
        bench.Engine.SetCommandLine(line);
        bench.Engine.Step();
        EXPECT_FALSE(bench.Engine.IsBusy()) << line;
        EXPECT_TRUE(bench.Host.Events.empty()) << line;
    }
}
