#include "progpsd.h"

#include "TempDir.h"
#include "TestHost.h"
#include "TextLineReader.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const std::string L0 = ":024000000102BB";
const std::string L1 = ":00000001FF";
const std::string TwoLines = L0 + "\r\n" + L1 + "\r\n";

struct Bench {
    TProgPsd Engine;
    TestHost Host{Engine};
    TempDir Dir;

    Bench()
    {
        Engine.SetCurentDir(Dir.Path());
        Engine.SetUpdateAllowed(true);
    }
};

bool IsChecksumRecord(const std::string& sent) { return sent.starts_with(":0200000C"); }

// A card that acknowledges a bank upload, asking for the first lineRepeats line
// transmissions and the first recordRepeats checksum records again.
std::function<std::string(const std::string&)> RepeatingBank(int lineRepeats, int recordRepeats)
{
    return [lineRepeats, recordRepeats](const std::string& sent) mutable -> std::string {
        if (sent.size() == 2 && sent[0] == 'P')
            return "..";
        if (IsChecksumRecord(sent))
            return recordRepeats-- > 0 ? "R" : ".";
        return lineRepeats-- > 0 ? "R" : ".";
    };
}

}  // namespace

TEST(BankUpload, TwoLinesIntoBankTwo)
{
    Bench bench;
    bench.Dir.Write("BANK.HEX", TwoLines);
    bench.Host.Card = RepeatingBank(0, 0);
    RunLine(bench.Engine, "P2 BANK.HEX", 50);

    EXPECT_EQ(bench.Host.Transcript, (Strings{"> P2", "< ..", "> " + L0 + "\r\n", "< .", "> " + L0 + "\r\n", "< .",
                                              "> " + L1 + "\r\n", "< .", "> :0200000C800072\r\n", "< ."}));
    EXPECT_EQ(bench.Host.EventsOf("info"), (Strings{"Erase Bank2", "Upload Bank2", "Verify Bank2"}));
    EXPECT_EQ(bench.Host.EventsOf("max"), (Strings{"3"}));
    EXPECT_EQ(bench.Host.Progress, 3);
    EXPECT_TRUE(bench.Host.EventsOf("error").empty());
    EXPECT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::Idle);
}

TEST(BankUpload, BankZeroSumsTheLowerHalfAndTheOthersTheUpperHalf)
{
    // One byte 00 at 0x8000: outside bank 0's half, inside the others'.
    const std::pair<const char*, const char*> cases[] = {
        {"P0 HIGH.HEX", ":0200000C800072\r\n"},
        {"P1 HIGH.HEX", ":0200000C7F0172\r\n"},
        {"P7 HIGH.HEX", ":0200000C7F0172\r\n"},
    };
    for (const auto& [line, record] : cases) {
        Bench bench;
        bench.Dir.Write("HIGH.HEX", ":01800000007F\n:00000001FF\n");
        bench.Host.Card = [](const std::string& sent) -> std::string {
            if (sent.size() == 2)
                return "..";
            return IsChecksumRecord(sent) ? ".late noise" : ".";
        };
        RunLine(bench.Engine, line, 50);
        EXPECT_EQ(bench.Host.Sent.back(), record) << line;
        // The acknowledgement of the record clears whatever else is pending.
        EXPECT_EQ(bench.Host.Received, "") << line;
        EXPECT_FALSE(bench.Engine.IsBusy()) << line;
    }
}

TEST(BankUpload, RealImageGoesOutLineByLine)
{
    const std::filesystem::path file =
        std::filesystem::path(CORVANE_REAL_DATA_DIR) / "arduino__atmegaxxu2__arduino-usbserial__Arduino-usbserial-uno.hex";
    if (!std::filesystem::exists(file))
        GTEST_SKIP() << "no sample files";
    std::vector<std::string> lines;
    ASSERT_TRUE(LoadTextLines(file.string(), lines));
    ASSERT_FALSE(lines.empty());

    Bench bench;
    bench.Engine.SetCurentDir(file.parent_path().string() + "/");
    bench.Host.Card = RepeatingBank(0, 0);
    RunLine(bench.Engine, "P0 " + file.filename().string(), 10000);

    ASSERT_EQ(bench.Host.Sent.size(), lines.size() + 3);
    EXPECT_EQ(bench.Host.Sent[1], lines[0] + "\r\n");
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(bench.Host.Sent[i + 2], lines[i] + "\r\n");
    const std::string sum = WordToHex(HexImageChecksum(lines, 0x0000, 0x7FFF));
    EXPECT_EQ(bench.Host.Sent.back(), BuildHexRecord(0x0C, 0, sum) + "\r\n");
    EXPECT_EQ(bench.Host.Progress, static_cast<int>(lines.size()) + 1);
}

TEST(BankUpload, ThreeHundredRepeatsAreServedAcrossLinesAndRecordPerUpload)
{
    const struct {
        int LineRepeats;
        int RecordRepeats;
        std::size_t Sent;  // P3, 3 line transmissions, 1 record, and each served repeat
        bool Fails;
    } cases[] = {
        {120, 180, 5 + 300, false},
        {301, 0, 2 + 300, true},
        {0, 301, 5 + 300, true},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Dir.Write("BANK.HEX", TwoLines);
        bench.Host.Card = RepeatingBank(c.LineRepeats, c.RecordRepeats);
        RunLine(bench.Engine, "P3 BANK.HEX", 2000);
        EXPECT_EQ(bench.Host.Sent.size(), c.Sent) << c.LineRepeats;
        EXPECT_EQ(bench.Host.EventsOf("error"), c.Fails ? Strings{"Too Many Transmission Error !!!"} : Strings{})
            << c.LineRepeats;
        EXPECT_EQ(bench.Engine.GetState(), c.Fails ? TProgPsd::PsdState::Halted : TProgPsd::PsdState::Idle)
            << c.LineRepeats;
        if (c.Fails)
            continue;
        // The next upload starts counting again.
        bench.Host.Card = RepeatingBank(300, 0);
        RunLine(bench.Engine, "P3 BANK.HEX", 2000);
        EXPECT_TRUE(bench.Host.EventsOf("error").empty());
    }
}

TEST(BankUpload, FailuresEndTheUploadWithTheirMessage)
{
    const struct {
        const char* Name;
        std::function<std::string(const std::string&)> Card;
        const char* Message;
    } cases[] = {
        {"I after P", AnswerTable({{"P1", "I"}}), "Instruction unknown"},
        {"erase failed", AnswerTable({{"P1", ".X"}}), "Error while erasing !!!"},
        {"line refused", [](const std::string& sent) { return sent == "P1" ? ".." : sent == L1 + "\r\n" ? "X" : "."; },
         "Error while writing!!!"},
        {"checksum refused", [](const std::string& sent) { return sent == "P1" ? ".." : IsChecksumRecord(sent) ? "X" : "."; },
         "Checksum Error"},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Dir.Write("BANK.HEX", TwoLines);
        bench.Host.Card = c.Card;
        RunLine(bench.Engine, "P1 BANK.HEX", 50);
        EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{c.Message})) << c.Name;
        EXPECT_EQ(bench.Host.Events.end()[-2], "busy:0") << c.Name;
        EXPECT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::Halted) << c.Name;
        EXPECT_EQ(bench.Host.Received, "") << c.Name;
    }
}

TEST(BankUpload, EmptyFileIsFoundOnlyAfterTheErase)
{
    Bench bench;
    bench.Dir.Write("EMPTY.HEX", "");
    bench.Host.Card = RepeatingBank(0, 0);
    RunLine(bench.Engine, "P5 EMPTY.HEX", 50);
    EXPECT_EQ(bench.Host.Sent, (Strings{"P5"}));
    EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{"Keyb File Empty !!!"}));
}

TEST(BankUpload, MissingFileSendsNothing)
{
    Bench bench;
    bench.Dir.Write("sub/OTHER.HEX", L1);
    bench.Host.Card = RepeatingBank(0, 0);
    for (const char* line : {"P6 NOPE.HEX", "P6 sub", "P6"}) {
        bench.Engine.Reset();
        bench.Engine.SetUpdateAllowed(true);
        RunLine(bench.Engine, line, 50);
        EXPECT_TRUE(bench.Host.Sent.empty()) << line;
        EXPECT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::Halted) << line;
    }
    EXPECT_EQ(bench.Host.EventsOf("error"), (Strings{bench.Dir.Path() + "NOPE.HEX File not found !!!",
                                                     bench.Dir.Path() + "sub File not found !!!",
                                                     bench.Dir.Path() + " File not found !!!"}));
}

TEST(BankUpload, RefusedWithoutPermissionBeforeAnythingIsSent)
{
    Bench bench;
    bench.Dir.Write("BANK.HEX", TwoLines);
    bench.Host.Card = RepeatingBank(0, 0);
    bench.Engine.SetUpdateAllowed(false);
    RunLine(bench.Engine, "P1 BANK.HEX", 50);
    EXPECT_TRUE(bench.Host.Sent.empty());
    EXPECT_EQ(bench.Host.Events, (Strings{"busy:1", "busy:0", "error:Update Not Allowed !!!"}));
    EXPECT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::Done);

    // The refusal ends the operation: the next step returns the engine to idle.
    bench.Engine.Step();
    EXPECT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::Idle);
    bench.Host.Card = AnswerTable({{"F1", "."}});
    RunLine(bench.Engine, "F1", 10);
    EXPECT_EQ(bench.Host.Sent, (Strings{"F1"}));
}

TEST(BankCommands, IdentifierAndFunctionRunWithoutPermission)
{
    const struct {
        const char* Line;
        std::map<std::string, std::string> Answers;
        Strings Events;
    } cases[] = {
        {"D3", {{"D3", ".AB."}}, {"busy:1", "send:D3", "info:Extract MCU ID", "info:ID Number : AB", "busy:0"}},
        {"F 5", {{"F5", "."}}, {"busy:1", "send:F5", "busy:0"}},
        {"D2", {{"D2", "I"}}, {"busy:1", "send:D2", "busy:0", "error:Instruction unknown"}},
        {"F2", {{"F2", "I"}}, {"busy:1", "send:F2", "busy:0", "error:Instruction unknown"}},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.Engine.SetUpdateAllowed(false);
        bench.Host.Card = AnswerTable(c.Answers);
        RunLine(bench.Engine, c.Line, 20);
        EXPECT_EQ(bench.Host.Events, c.Events) << c.Line;
        EXPECT_EQ(bench.Host.Received, "") << c.Line;
    }
}

TEST(BankCommands, IdentifierNeedsItsDotAtTheThirdCharacter)
{
    Bench bench;
    bench.Host.Card = AnswerTable({{"D0", "."}});
    bench.Engine.SetCommandLine("D0");
    for (int i = 0; i < 3; ++i)
        bench.Engine.Step();
    ASSERT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::ReadMcuId);
    for (const char* early : {"A.", "ABC.", ".", "AB"}) {
        bench.Host.Received = early;
        bench.Engine.Step();
        EXPECT_EQ(bench.Engine.GetState(), TProgPsd::PsdState::ReadMcuId) << early;
    }
    bench.Host.Received = "12.34";
    StepWhileBusy(bench.Engine, 5);
    EXPECT_EQ(bench.Host.EventsOf("info").back(), "ID Number : 12");
    EXPECT_EQ(bench.Host.Received, "");
}

TEST(BankLines, TakesBankDigitsZeroToSevenOnly)
{
    for (const char* line : {"P0 A.HEX", "P7 A.HEX", "P 3 A.HEX", "D0", "D7", "F4"}) {
        Bench bench;
        bench.Engine.SetCommandLine(line);
        bench.Engine.Step();
        EXPECT_TRUE(bench.Engine.IsBusy()) << line;
        EXPECT_TRUE(bench.Host.Sent.empty()) << line;
    }
    for (const char* line : {"P8 FX.SVF", "PX A.HEX", "PB BOOT.HEX", "D8", "F8", "FI", "FY", "P", "p1 A.HEX", "T1 0102", ""}) {
        Bench bench;
        bench.Engine.SetCommandLine(line);
        bench.Engine.Step();
        EXPECT_FALSE(bench.Engine.IsBusy()) << line;
        EXPECT_TRUE(bench.Host.Events.empty()) << line;
    }
}
