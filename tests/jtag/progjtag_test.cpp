#include "progjtag.h"

#include "StateTable.h"
#include "SvfTranslator.h"
#include "TempDir.h"
#include "TestHost.h"
#include "TextLineReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>

namespace {

using V = std::vector<std::string>;
using std::chrono::milliseconds;

const std::string Eof = ":00000001FF\r\n";
const std::string Esc = "\x1B";

class JtagEngine : public ::testing::Test {
protected:
    // Whole plays go without the pause before the first record; the pause has tests of its own.
    JtagEngine()
    {
        engine.TickCount = [this] { return Now; };
        engine.PlayOpenPause = milliseconds(0);
        engine.SetCurentDir(dir.Path());
        engine.SetUpdateAllowed(true);
    }

    // Plays content as an effect file against a card that answers each text with
    // the next of its replies in the table, and "." to everything else.
    void Play(const std::string& content, std::map<std::string, V> replies = {}, int maxSteps = 100000)
    {
        dir.Write("effect.svf", content);
        host.Card = [replies = std::move(replies)](const std::string& sent) mutable {
            V& queue = replies[sent];
            if (queue.empty())
                return std::string(".");
            std::string reply = queue.front();
            queue.erase(queue.begin());
            return reply;
        };
        RunLine(engine, "P8 effect.svf", maxSteps);
    }

    // Offers the play of effect.svf to a card that accepts "P8" and answers
    // nothing else, and steps the engine into the pause before the first record.
    void OpenPausedPlay()
    {
        host.Card = AnswerTable({{"P8", "."}});
        engine.SetCommandLine("P8 effect.svf");
        for (int step = 0; step < 10 && engine.GetState() != TProgJtag::JtagState::PausedBeforePlay; ++step)
            engine.Step();
        ASSERT_EQ(engine.GetState(), TProgJtag::JtagState::PausedBeforePlay);
    }

    // After an error the engine waits for the host's reset before it takes a line.
    void Restart()
    {
        engine.Reset();
        engine.SetUpdateAllowed(true);
    }

    V Errors() const { return host.EventsOf("error"); }

    TProgJtag engine;
    TestHost host{engine};
    TempDir dir;
    std::uint32_t Now = 0;
};

}  // namespace

TEST_F(JtagEngine, WorkedExchangeWithCapturedData)
{
    Play("SDR 32 TDI (00000000) TDO (12345678) MASK (FFFFFFFF);\r\n",
         {{":010020F300EC\r\n", {"7856341214" + Esc + "."}}});
    EXPECT_EQ(host.Events, (V{"busy:1", "send:P8", "max:1", "send::010020F300EC\r\n", "send:.", "step",
                              "send:" + Eof, "speedup", "busy:0"}));
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Idle);
    EXPECT_FALSE(engine.IsEffectFileOpen());
}

TEST_F(JtagEngine, WorkedExchangeWithStreamedData)
{
    // A damaged record is sent again and arms its stream again.
    Play("SDR 16 TDI (1234);", {{":010010630686\r\n", {"R", Esc + "."}}});
    EXPECT_EQ(host.Sent, (V{"P8", ":010010630686\r\n", ":010010630686\r\n", "341246", Eof}));
    EXPECT_EQ(Errors(), V{});
    EXPECT_EQ(engine.GetRetryCount(), 1);
}

TEST_F(JtagEngine, TextBeforeTheReplyIsIgnored)
{
    Play("SDR 16 TDI (1234) TDO (5678);",
         {{":010010730676\r\n", {"Q" + Esc + "."}}, {"341246", {"7856CE" + Esc + "."}}});
    EXPECT_EQ(host.Sent, (V{"P8", ":010010730676\r\n", "341246", ".", Eof}));
    EXPECT_EQ(Errors(), V{});
}

// Line noise in front of every answer of the card, ESC among it, costs nothing:
// the same texts go out, and an ESC that begins no reply never holds a wait.
// Noise inside the identifiers' text goes too.
TEST_F(JtagEngine, LineNoiseInFrontOfEveryAnswerIsDropped)
{
    // (ESC ESC in front of captured bits reads as the digits 1B: the sum finds that out.)
    for (const std::string& noise : {std::string(1, '\0'), std::string("\xFF"), Esc, Esc + "\x80"}) {
        Restart();
        host.Sent.clear();
        host.Noise = 0;
        Play("SDR 32 TDI (00000000) TDO (12345678);\r\nSDR 16 TDI (1234);\r\n",
             {{"P8", {noise + "."}},
              {":010020F300EC\r\n", {noise + "7856341214" + Esc + "."}},
              {".", {noise + "."}},
              {":010010630686\r\n", {noise + Esc + "."}},
              {"341246", {noise + "."}},
              {Eof, {noise + "."}}});
        EXPECT_EQ(host.Sent, (V{"P8", ":010020F300EC\r\n", ".", ":010010630686\r\n", "341246", Eof}));
        EXPECT_EQ(Errors(), V{});
        EXPECT_EQ(host.Noise, 6 * noise.size());

        host.Card = [noise](const std::string& sent) { return sent == "D8" ? noise + "." + noise + "1234" + noise + "5678." : ""; };
        RunLine(engine, "D8", 20);
        EXPECT_EQ(host.EventsOf("info").back(), "ID Number : 78563412");
    }
}

// Captured data with noise inside (a real line puts it between the pieces in
// which a reply arrives) are taken as they were sent, without asking again.
TEST_F(JtagEngine, NoiseInsideCapturedDataIsDropped)
{
    for (const std::string& noise : {std::string(1, '\0'), std::string("\xFF"), std::string("\x80\xFE")}) {
        Restart();
        host.Sent.clear();
        host.Noise = 0;
        Play("SDR 32 TDI (00000000) TDO (12345678);\r\n",
             {{":010020F300EC\r\n", {"7856" + noise + "3412" + noise + "14" + Esc + "."}}});
        EXPECT_EQ(host.Sent, (V{"P8", ":010020F300EC\r\n", ".", Eof}));
        EXPECT_EQ(Errors(), V{});
        EXPECT_EQ(host.Noise, 2 * noise.size());
    }
}

TEST_F(JtagEngine, CapturedDataEscapesAndSums)
{
    EXPECT_EQ(TProgJtag::DecodeCapture(Esc + Esc + Esc + "0A" + Esc + "z5" + Esc + ".77"), "1B00Az5");
    EXPECT_EQ(TProgJtag::DecodeCapture("12" + Esc), "12");

    // Data 00 1B with the sum 1B: every one of those bytes travels escaped.
    Play("SDR 16 TDI (0000) TDO (1B00);",
         {{":010010F300FC\r\n", {Esc + "0" + Esc + Esc + Esc + Esc + Esc + "."}}});
    EXPECT_EQ(host.Sent, (V{"P8", ":010010F300FC\r\n", ".", Eof}));
    EXPECT_EQ(Errors(), V{});
}

TEST_F(JtagEngine, WrongSumAsksForTheDataAgain)
{
    // A wrong sum, then a bare "." with no digits: each time "R", never the record again.
    Play("SDR 32 TDI (00000000) TDO (12345678);",
         {{":010020F300EC\r\n", {"78563412FF" + Esc + "."}}, {"R", {".", "7856341214" + Esc + "."}}});
    EXPECT_EQ(host.Sent, (V{"P8", ":010020F300EC\r\n", "R", "R", ".", Eof}));
    EXPECT_EQ(engine.GetRetryCount(), 2);
    EXPECT_EQ(Errors(), V{});
}

TEST_F(JtagEngine, RecordAskedForAgainAfterItsCaptureIsCheckedAgain)
{
    // The card asks for the record again after its captured bits were accepted:
    // the scan runs again, and so does the check of what it captured.
    Play("SDR 32 TDI (00000000) TDO (12345678);",
         {{":010020F300EC\r\n", {"7856341214" + Esc + ".", "7856341214" + Esc + "."}}, {".", {"R"}}});
    EXPECT_EQ(host.Sent, (V{"P8", ":010020F300EC\r\n", ".", ":010020F300EC\r\n", ".", Eof}));
    EXPECT_EQ(Errors(), V{});

    Restart();
    host.Events.clear();
    Play("SDR 32 TDI (00000000) TDO (12345678);",
         {{":010020F300EC\r\n", {"7856341214" + Esc + ".", "7856341315" + Esc + "."}}, {".", {"R"}}});
    EXPECT_EQ(Errors(), V{"Error while executing Effect file line : 1"});
}

TEST_F(JtagEngine, MaskedCompare)
{
    // The data differ from TDO only where MASK has 0 bits.
    Play("SDR 32 TDI (00000000) TDO (12345678) MASK (0000FFFF);",
         {{":010020F300EC\r\n", {"7856AAAA22" + Esc + "."}}});
    EXPECT_EQ(Errors(), V{});

    host.Events.clear();
    Play("// one\nSDR 32 TDI (00000000) TDO (12345678) MASK (0000FFFF);",
         {{":010020F300EC\r\n", {"7857AAAA23" + Esc + "."}}});
    EXPECT_EQ(Errors(), V{"Error while executing Effect file line : 2"});
}

TEST_F(JtagEngine, CardFailureNamesTheLine)
{
    Play("// head\nSTATE RESET;\n// c\nSIR 8 TDI (FE);\n", {{":01000862FE97\r\n", {"zzX"}}});
    EXPECT_EQ(host.Sent, (V{"P8", ":0100000500FA\r\n", ":01000862FE97\r\n"}));
    // This engine stores and raises the error before it clears Busy.
    EXPECT_EQ(V(host.Events.end() - 2, host.Events.end()),
              (V{"error:Error while executing Effect file line : 4", "busy:0"}));
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Halted);
    EXPECT_FALSE(engine.IsEffectFileOpen());
    engine.SetCommandLine("F8");
    engine.Step();
    EXPECT_FALSE(engine.IsBusy());
}

TEST_F(JtagEngine, RejectedLineStopsThePlay)
{
    Play("STATE RESET;\nSIR 8 TDI (FE);\nFREQUENCY 1E6 HZ;\nSTATE IDLE;\n");
    EXPECT_EQ(host.Sent, (V{"P8", ":0100000500FA\r\n", ":01000862FE97\r\n"}));
    EXPECT_EQ(host.EventsOf("step").size(), 2u);
    EXPECT_EQ(Errors(), V{"Error in Effect file line : 3"});
}

// A file truncated in the middle of its last statement is not a finished play.
TEST_F(JtagEngine, TruncatedLastStatementStopsThePlay)
{
    Play("STATE RESET;\nSIR 8 TDI (FE);\nSDR 32 TDI (00000000) TDO (0C0D");
    EXPECT_EQ(host.Sent, (V{"P8", ":0100000500FA\r\n", ":01000862FE97\r\n"}));
    EXPECT_EQ(Errors(), V{"Error in Effect file line : 3"});
}

TEST_F(JtagEngine, CommentOnlyFileSendsTheEndAtOnce)
{
    Play("// a\r\n  // b\r\nTRST OFF;\r\n");
    EXPECT_EQ(host.Sent, (V{"P8", Eof}));
    EXPECT_EQ(host.EventsOf("step").size(), 0u);
    EXPECT_EQ(host.EventsOf("max"), V{"3"});
}

TEST_F(JtagEngine, RetryCountCoversTheWholePlay)
{
    const std::string file = "STATE RESET;\nSTATE IDLE;\nSTATE;\n";
    const V hundred(100, "R");
    Play(file, {{":0100000500FA\r\n", hundred}, {":0100000501F9\r\n", hundred}, {":00000005FB\r\n", hundred}});
    EXPECT_EQ(Errors(), V{});
    EXPECT_EQ(engine.GetRetryCount(), 300);
    EXPECT_EQ(host.Sent.back(), Eof);

    V more = hundred;
    more.push_back("R");
    Play(file, {{":0100000500FA\r\n", hundred}, {":0100000501F9\r\n", hundred}, {":00000005FB\r\n", more}});
    EXPECT_EQ(Errors(), V{"Too Many Transmission Error !!!"});
}

TEST_F(JtagEngine, EndRecordAnswers)
{
    Play("", {});
    EXPECT_EQ(Errors(), V{"Effect File Empty !!!"});
    EXPECT_EQ(host.Sent, V{"P8"});

    Restart();
    Play("STATE;", {{Eof, {"X"}}});
    EXPECT_EQ(Errors(), (V{"Effect File Empty !!!", "Instruction unknown"}));
}

// A damaged end record is sent again like any other record, within the same
// budget of retransmissions for the whole play.
TEST_F(JtagEngine, DamagedEndRecordIsSentAgain)
{
    Play("STATE;", {{Eof, {"R", "R"}}});
    EXPECT_EQ(Errors(), V{});
    EXPECT_EQ(host.Sent, (V{"P8", ":00000005FB\r\n", Eof, Eof, Eof}));
    EXPECT_FALSE(engine.IsBusy());

    Restart();
    Play("STATE;", {{":00000005FB\r\n", V(299, "R")}, {Eof, {"R", "R"}}});
    EXPECT_EQ(Errors(), V{"Too Many Transmission Error !!!"});
    EXPECT_EQ(host.Sent.back(), Eof);
}

TEST_F(JtagEngine, PlayRefusedOrFileMissing)
{
    // A play that cannot start ends at once: the clock never moves here.
    engine.PlayOpenPause = TProgJtag::DefaultPlayOpenPause;
    engine.SetUpdateAllowed(false);
    RunLine(engine, "P8 effect.svf");
    EXPECT_EQ(host.Events, (V{"busy:1", "error:Update Not Allowed !!!", "busy:0"}));
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Done);
    engine.Step();
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Idle);

    engine.SetUpdateAllowed(true);
    host.Card = [](const std::string&) { return std::string("."); };
    RunLine(engine, "P 8  missing.svf ");
    Restart();
    std::filesystem::create_directory(dir.Path() + "folder.svf");
    RunLine(engine, "P8 folder.svf");
    EXPECT_EQ(Errors(), (V{"Update Not Allowed !!!", dir.Path() + "missing.svf File not found !!!",
                           "Error while reading Effect file : " + dir.Path() + "folder.svf"}));
    EXPECT_EQ(host.Sent, (V{"P8", "P8"}));
}

TEST_F(JtagEngine, FileThatFailsDuringThePlay)
{
    engine.PlayOpenPause = TProgJtag::DefaultPlayOpenPause;
    const std::string path = dir.Write("effect.svf", "STATE;\n");
    OpenPausedPlay();
    std::filesystem::resize_file(path, 0);
    Now += 1000;
    StepWhileBusy(engine, 10);
    EXPECT_EQ(Errors(), V{"Error while reading Effect file line : 1"});
    EXPECT_EQ(host.Sent, V{"P8"});
}

TEST_F(JtagEngine, PauseHoldsTheFirstRecordForASecond)
{
    EXPECT_EQ(TProgJtag().PlayOpenPause, milliseconds(1000));
    engine.PlayOpenPause = TProgJtag::DefaultPlayOpenPause;
    Now = 0xFFFFFE00u;  // the pause ends past the wrap of the tick count
    dir.Write("effect.svf", "STATE RESET;\n");
    OpenPausedPlay();
    EXPECT_EQ(host.Events, (V{"busy:1", "send:P8", "max:1"}));

    // The card's text that arrives meanwhile stays with the host until the play goes on.
    host.Received = ".";
    Now += 999;
    engine.Step();
    engine.Step();
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::PausedBeforePlay);
    EXPECT_EQ(host.Sent, V{"P8"});
    EXPECT_EQ(host.Received, ".");

    Now += 1;
    engine.Step();
    EXPECT_EQ(host.Sent, (V{"P8", ":0100000500FA\r\n"}));
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Playing);
    EXPECT_EQ(host.Received, ".");
    engine.Step();
    EXPECT_EQ(host.Sent.back(), Eof);
    EXPECT_EQ(host.Progress, 1);
    EXPECT_EQ(host.Received, "");
}

TEST_F(JtagEngine, WithoutAPauseTheFirstRecordGoesOutWhenThePlayOpens)
{
    dir.Write("effect.svf", "STATE RESET;\n");
    host.Card = AnswerTable({{"P8", "."}});
    engine.SetCommandLine("P8 effect.svf");
    for (int step = 0; step < 3; ++step)
        engine.Step();
    EXPECT_EQ(host.Sent, (V{"P8", ":0100000500FA\r\n"}));
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Playing);
}

TEST_F(JtagEngine, EmptyFileIsReportedWhenThePauseIsOver)
{
    engine.PlayOpenPause = TProgJtag::DefaultPlayOpenPause;
    dir.Write("effect.svf", "");
    OpenPausedPlay();
    Now += 999;
    engine.Step();
    EXPECT_EQ(Errors(), V{});
    Now += 1;
    engine.Step();
    EXPECT_EQ(Errors(), V{"Effect File Empty !!!"});
    EXPECT_EQ(host.Sent, V{"P8"});
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Halted);
}

TEST_F(JtagEngine, PauseEndsByResetOrErrorLikeAnyState)
{
    engine.PlayOpenPause = TProgJtag::DefaultPlayOpenPause;
    dir.Write("effect.svf", "STATE RESET;\n");
    OpenPausedPlay();
    engine.Reset();
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Idle);
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_TRUE(engine.IsEffectFileOpen());
    Now += 5000;
    engine.Step();
    engine.Step();
    EXPECT_EQ(host.Sent, V{"P8"});

    Restart();
    OpenPausedPlay();
    engine.ReportError("Stopped by the operator");
    EXPECT_EQ(engine.GetState(), TProgJtag::JtagState::Halted);
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_FALSE(engine.IsEffectFileOpen());
    Now += 5000;
    engine.Step();
    EXPECT_EQ(host.Sent, (V{"P8", "P8"}));
}

TEST(JtagStates, StatesCarryTheirTableNumbers)
{
    ExpectStateTable<TProgJtag::JtagState>({
        {0, "Idle"},
        {1, "Halted"},
        {2, "PausedBeforePlay"},
        {3, "SendIdentify"},
        {4, "WaitIdentifyAck"},
        {5, "WaitIdentifiers"},
        {6, "SendProgram"},
        {7, "WaitProgramAck"},
        {8, "Playing"},
        {9, "WaitEndAck"},
        {10, "SendFunction"},
        {11, "WaitFunctionAck"},
        {12, "Done"},
    });
}

TEST_F(JtagEngine, IdentifiersAndTheFCommand)
{
    host.Card = [](const std::string& sent) { return sent == "D8" ? ".12345678." : "."; };
    RunLine(engine, "D 8");
    EXPECT_EQ(host.EventsOf("info"), (V{"Extract JTAG Devices ID", "ID Number : 78563412"}));
    RunLine(engine, "F8");
    EXPECT_EQ(host.Sent, (V{"D8", "F8"}));
    EXPECT_EQ(host.EventsOf("info").size(), 2u);

    for (const char* other : {"D9", "P0 bank.hex", "FI", "X8"}) {
        engine.SetCommandLine(other);
        engine.Step();
        EXPECT_FALSE(engine.IsBusy()) << other;
        EXPECT_EQ(engine.GetCommandLine(), other);
    }

    host.Card = [](const std::string&) { return std::string("I"); };
    RunLine(engine, "F8");
    EXPECT_EQ(Errors(), V{"Instruction unknown"});

    // A second "." straight after the first is no identifier: the engine waits.
    engine.Reset();
    host.Card = [](const std::string&) { return std::string(".."); };
    EXPECT_EQ(RunLine(engine, "D8", 50), 50);
    EXPECT_TRUE(engine.IsBusy());
}

TEST_F(JtagEngine, ResetLeavesTheFileForTheNextPlay)
{
    Play("STATE;\nSTATE;\n", {{":00000005FB\r\n", {""}}}, 10);
    EXPECT_TRUE(engine.IsBusy());
    Restart();
    EXPECT_TRUE(engine.IsEffectFileOpen());
    host.Received.clear();
    Play("STATE IDLE;\n");
    EXPECT_EQ(host.Sent.back(), Eof);
    EXPECT_EQ(Errors(), V{});
    EXPECT_FALSE(engine.IsEffectFileOpen());
}

// Vendor files stop at their first line outside the card's subset, with its number.
TEST_F(JtagEngine, RealEffectFilesStopAtTheirFirstRejectedLine)
{
    const std::filesystem::path real = CORVANE_REAL_DATA_DIR;
    if (!std::filesystem::is_directory(real))
        GTEST_SKIP() << "no sample files in " << real;
    for (const char* name : {"xc2c64a__erase.svf", "xc2c64a__program.svf", "ulx3s__debugblink-v2.0-12f.svf"}) {
        TextLineReader reader;
        ASSERT_TRUE(reader.Open((real / name).string()));
        SvfTranslator translator;
        std::string line;
        std::string record;
        int number = 0;
        while (record != TranslateError && reader.ReadLine(line)) {
            ++number;
            translator.TranslateLine(line, record);
        }
        host.Events.clear();
        Restart();
        engine.SetCurentDir(real.string() + "/");
        host.Card = [](const std::string&) { return std::string("."); };
        RunLine(engine, std::string("P8 ") + name);
        EXPECT_EQ(Errors(), V{"Error in Effect file line : " + std::to_string(number)}) << name;
    }
}

// The plan of a play counts what the engine exchanges with a card that agrees:
// each record acknowledged, each stream asked for, each capture returned right.
TEST_F(JtagEngine, PlanCountsThePlayAsItRuns)
{
    const std::string play = "// header\r\nSTATE RESET IDLE;\r\nSIR 8 TDI (FE);\r\nSDR 16 TDI (1234);\r\n"
                             "SDR 32 TDI (00000000) TDO (1B345600) MASK (FFFFFFFF);\r\nSDR 8 TDI (A5) TDO (5A);\r\n"
                             "RUNTEST 100 TCK;\r\n";
    TMemoryFiles files;
    files.Write("/update/play.svf", play);
    TProgJtag planner;
    planner.SetFileSource(files);
    planner.SetCurentDir("/update/");
    TOperationPlan plan;
    ASSERT_TRUE(planner.PlanLine("P 8  play.svf", plan));
    EXPECT_TRUE(plan.Problems.empty());
    EXPECT_EQ(plan.Records, 7u);  // the end record included
    EXPECT_EQ(plan.Streams, 2u);
    EXPECT_EQ(plan.PauseMs, 1000u);
    EXPECT_EQ(plan.Files, V{"/update/play.svf"});

    engine.SetFileSource(files);
    engine.SetCurentDir("/update/");
    std::uint64_t fromCard = 0;
    host.Card = [&](const std::string& sent) {
        const bool record = sent.ends_with("\r\n");
        std::string reply = ".";
        if (record && engine.IsStreamPending()) {
            reply = Esc + ".";
        } else if ((engine.GetScanCode() & ScanCapture) != 0 && sent != ".") {
            reply = engine.GetTdo();
            AppendHexSum(reply);
            reply += Esc + ".";
        }
        fromCard += reply.size();
        return reply;
    };
    RunLine(engine, "P 8  play.svf");
    EXPECT_EQ(Errors(), V{});
    std::uint64_t toCard = 0;
    for (const std::string& sent : host.Sent)
        toCard += sent.size();
    EXPECT_EQ(plan.BytesToCard, toCard);
    EXPECT_EQ(plan.BytesFromCard, fromCard);

    // Every line the card cannot take, where the run stops at the first.
    files.Write("/update/bad.svf", "SIR 8 TDI (FE)\r\nFREQUENCY 1E6 HZ;\r\nSTATE IDLE;\r\n");
    TOperationPlan bad;
    planner.PlanLine("P8 bad.svf", bad);
    ASSERT_EQ(bad.Problems.size(), 2u);
    EXPECT_EQ(ProblemText(bad.Problems[1]), "/update/bad.svf:2: Error in Effect file line : 2");
    TOperationPlan missing;
    planner.PlanLine("P8 none.svf", missing);
    EXPECT_EQ(ProblemText(missing.Problems.at(0)), ": /update/none.svf File not found !!!");
    TOperationPlan foreign;
    EXPECT_FALSE(planner.PlanLine("P7 play.svf", foreign));
}

// In a bundle's folder a play may name only the bundle's own effect files: a
// climb above it is refused by the plan and by the engine, which sends no record.
TEST_F(JtagEngine, PlayOutsideAConfinedFolderIsRefused)
{
    TMemoryFiles files;
    files.Write("/update/EXT/../play.svf", "STATE RESET IDLE;\r\n");
    files.Write("/update/EXT/../../play.svf", "STATE RESET IDLE;\r\n");
    const TConfinedFiles confined(files, "/update/");
    TProgJtag planner;
    planner.SetFileSource(confined);
    planner.SetCurentDir("/update/EXT/");
    TOperationPlan inside;
    ASSERT_TRUE(planner.PlanLine("P8 ../play.svf", inside));
    EXPECT_TRUE(inside.Problems.empty());
    TOperationPlan outside;
    ASSERT_TRUE(planner.PlanLine("P8 ../../play.svf", outside));
    ASSERT_EQ(outside.Problems.size(), 1u);
    EXPECT_TRUE(outside.Problems[0].Outside);

    engine.SetFileSource(confined);
    engine.SetCurentDir("/update/EXT/");
    engine.SetUpdateAllowed(true);
    host.Card = [](const std::string&) { return std::string("."); };
    RunLine(engine, "P8 ../../play.svf");
    EXPECT_EQ(host.Sent, V{"P8"});
    EXPECT_EQ(Errors(), V{outside.Problems[0].Message});
    EXPECT_EQ(outside.Problems[0].Message,
              "../../play.svf is not a file of the update bundle: its lines may name only files inside it");
    EXPECT_FALSE(engine.IsEffectFileOpen());
}
