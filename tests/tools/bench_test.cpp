#include "BatchSummary.h"
#include "CardProcess.h"
#include "ChildProcess.h"
#include "EffectFileWriter.h"
#include "MeasuredProcess.h"
#include "ParallelFigures.h"
#include "RawClient.h"
#include "RunProcess.h"
#include "SimulatedCard.h"
#include "TempDir.h"
#include "TestHost.h"
#include "hex.h"
#include "progjtag.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>

namespace {

constexpr std::uint64_t PlayStatements = 1500;

std::vector<PlayRecord> Translated(const std::string& path)
{
    std::vector<PlayRecord> records;
    std::string error;
    EXPECT_TRUE(TranslateEffectFile(path, records, error)) << error;
    return records;
}

std::vector<std::string> DataLines(std::uint16_t base, int count)
{
    std::vector<std::string> lines;
    for (int record = 0; record < count; ++record) {
        std::string data;
        for (int byte = 0; byte < 16; ++byte)
            data += ByteToHex(static_cast<std::uint32_t>(record * 31 + byte * 7));
        lines.push_back(BuildHexRecord(HexRecordData, static_cast<std::uint16_t>(base + record * 16), data));
    }
    lines.push_back(BuildHexRecord(HexRecordEndOfFile, 0, ""));
    return lines;
}

// A simulated card as a process on a TCP port, and the state it writes when stopped.
class CardOnTcp {
public:
    explicit CardOnTcp(const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv = {CORVANE_CARDSIM, "--tcp", "0", "--state", StatePath};
        argv.insert(argv.end(), options.begin(), options.end());
        if (Card.Start(argv))
            Port = static_cast<std::uint16_t>(std::stoi("0" + Card.ReadLine()));
    }
    QJsonObject Stop()
    {
        if (Card.Stop(SIGTERM) != 0)
            return {};
        QFile file(QString::fromStdString(StatePath));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    TempDir Dir;
    std::string StatePath = Dir.Path() + "card.json";
    ChildProcess Card;
    std::uint16_t Port = 0;
};

}  // namespace

// ---- Effect files -----------------------------------------------------------------------

TEST(BenchEffectFile, HoldsTheMixAndReachesBothSizes)
{
    TempDir dir;
    EffectFileSize bySize;
    ASSERT_TRUE(WriteEffectFile(dir.Path() + "big.svf", 0, 300'000, bySize, EffectGroups::Wide));
    EXPECT_GE(bySize.Bytes, 300'000u);
    EXPECT_EQ(std::filesystem::file_size(dir.Path() + "big.svf"), bySize.Bytes);
    const std::vector<PlayRecord> wide = Translated(dir.Path() + "big.svf");
    EXPECT_EQ(wide.size(), bySize.Statements);
    EXPECT_EQ(wide.back().Stream.size(), 128u + 2);  // 512 bits and the sum
    EXPECT_TRUE(wide.back().Capture);

    EffectFileSize byCount;
    ASSERT_TRUE(WriteEffectFile(dir.Path() + "play.svf", PlayStatements, 0, byCount));
    EXPECT_GE(byCount.Statements, PlayStatements);
    const std::vector<PlayRecord> records = Translated(dir.Path() + "play.svf");
    ASSERT_EQ(records.size(), byCount.Statements);
    const auto count = [&](auto predicate) { return std::count_if(records.begin(), records.end(), predicate); };
    const auto type = [](const PlayRecord& record) { return HexValue(record.Record[7]) * 16 + HexValue(record.Record[8]); };
    EXPECT_GT(count([&](const PlayRecord& r) { return (type(r) & 0x0F) == 0x02; }), 0);     // SIR
    EXPECT_GT(count([&](const PlayRecord& r) { return (type(r) & 0x83) == 0x83; }), 0);     // fill SDR
    EXPECT_GT(count([](const PlayRecord& r) { return !r.Stream.empty(); }), 0);              // streamed SDR
    EXPECT_GT(count([](const PlayRecord& r) { return r.Capture && !r.Stream.empty(); }), 0);  // TDO compares
    EXPECT_GT(count([&](const PlayRecord& r) { return type(r) == 0x04; }), 0);              // RUNTEST

    EffectFileSize again;
    ASSERT_TRUE(WriteEffectFile(dir.Path() + "again.svf", PlayStatements, 0, again));
    EXPECT_EQ(again.Bytes, byCount.Bytes);
}

// The JTAG engine compares every captured value with the file's TDO: a play to
// the end without an error shows that each expected value is what the card's
// device returns.
class BenchEffectFilePlay : public ::testing::TestWithParam<EffectGroups> {};

TEST_P(BenchEffectFilePlay, WithoutAMismatchOnTheSimulatedDevice)
{
    TempDir dir;
    EffectFileSize written;
    ASSERT_TRUE(WriteEffectFile(dir.Path() + "play.svf", PlayStatements, 0, written, GetParam()));

    CardOptions options;
    options.StartInBootLoader = true;
    SimulatedCard card(options, [] { return std::uint64_t{0}; });
    std::string answer;
    card.OnOutput = [&answer](const std::string& bytes) { answer += bytes; };
    TProgJtag engine;
    engine.PlayOpenPause = std::chrono::milliseconds(0);
    engine.SetCurentDir(dir.Path());
    engine.SetUpdateAllowed(true);
    TestHost host(engine);
    host.Card = [&](const std::string& sent) {
        answer.clear();
        card.Receive(sent);
        return answer;
    };
    RunLine(engine, "P8 play.svf", 1'000'000);
    EXPECT_TRUE(host.EventsOf("error").empty()) << host.EventsOf("error").front();
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_EQ(card.EffectRecordsExecuted(), written.Statements);
}

INSTANTIATE_TEST_SUITE_P(Groups, BenchEffectFilePlay, ::testing::Values(EffectGroups::Mixed, EffectGroups::Wide),
                         [](const auto& info) { return info.param == EffectGroups::Mixed ? "Mixed" : "Wide"; });

// ---- The raw client ---------------------------------------------------------------------

TEST(BenchRawClient, UpdatesTheCardAsTheUpdaterWould)
{
    CardOnTcp card;
    ASSERT_GT(card.Port, 0);
    EffectFileSize written;
    ASSERT_TRUE(WriteEffectFile(card.Dir.Path() + "play.svf", 200, 0, written));
    const std::vector<PlayRecord> records = Translated(card.Dir.Path() + "play.svf");
    const std::vector<std::string> bank = DataLines(0x8000, 20);
    const std::vector<std::string> boot = DataLines(0x4000, 5);

    std::uint64_t exchanges = 0;
    {
        RawLink link;
        std::string error;
        ASSERT_TRUE(link.ConnectTcp(card.Port, error)) << error;
        RawClient client(link);
        EXPECT_TRUE(client.HandOver());
        EXPECT_TRUE(client.Synchronise());
        EXPECT_TRUE(client.Upload("P3", bank, 0x8000, 0xFFFF));
        EXPECT_TRUE(client.Upload("PB", boot, 0x4000, 0x5FFF));
        EXPECT_TRUE(client.Play(records));
        EXPECT_TRUE(client.WriteText("OP", "0A0B"));
        EXPECT_TRUE(client.Command("FI"));
        EXPECT_EQ(client.Failure(), "");
        exchanges = client.Exchanges();
    }
    const QJsonObject state = card.Stop();
    EXPECT_EQ(state["mode"].toString(), "firmware");
    const QJsonObject bank3 = state["banks"].toArray()[3].toObject();
    EXPECT_TRUE(bank3["verified"].toBool());
    EXPECT_EQ(bank3["lines_written"].toInt(), 20 + 1);  // the first line goes twice
    EXPECT_TRUE(state["boot"].toObject()["verified"].toBool());
    EXPECT_EQ(state["option_code"].toString(), "0A0B");
    EXPECT_EQ(state["jtag"].toObject()["records_executed"].toInteger(), static_cast<qint64>(written.Statements));
    // Every line the client counts is a command to the card: the two measure the same exchanges.
    EXPECT_EQ(state["counts"].toObject()["commands"].toInteger(), static_cast<qint64>(exchanges));
}

TEST(BenchRawClient, AnswerOtherThanTheAcceptanceStopsIt)
{
    CardOnTcp card({"--refuse", "P2"});
    ASSERT_GT(card.Port, 0);
    RawLink link;
    std::string error;
    ASSERT_TRUE(link.ConnectTcp(card.Port, error)) << error;
    RawClient client(link);
    ASSERT_TRUE(client.HandOver());
    ASSERT_TRUE(client.Synchronise());
    EXPECT_FALSE(client.Upload("P2", DataLines(0x8000, 2), 0x8000, 0xFFFF));
    EXPECT_EQ(client.Failure(), "P2: no erase");
    EXPECT_FALSE(client.Play({{"Z", "", false}}));  // no record at all: the card asks for it again

    RawLink nowhere;
    EXPECT_FALSE(nowhere.ConnectTcp(1, error));
    EXPECT_NE(error.find("127.0.0.1:1"), std::string::npos);
}

TEST(BenchRawClient, SilentCardEndsTheWaitAtItsDeadline)
{
    CardOnTcp card({"--silent-after", "1"});
    ASSERT_GT(card.Port, 0);
    RawLink link;
    std::string error;
    ASSERT_TRUE(link.ConnectTcp(card.Port, error)) << error;
    link.ReplyTimeout = std::chrono::milliseconds(100);
    RawClient client(link);
    EXPECT_FALSE(client.HandOver());
    EXPECT_EQ(client.Failure(), "no answer to 1yU");
}

// ---- Measured processes ------------------------------------------------------------------

TEST(BenchMeasuredProcess, LinesInOrderThenTheExitAndItsCost)
{
    MeasuredProcess process;
    ASSERT_TRUE(process.Start({"/bin/sh", "-c", "echo one; echo two >&2; printf 'two\\nthree'; exit 3"}, {"X=1"}));
    std::string line;
    ASSERT_TRUE(process.NextLine(line, std::chrono::seconds(10)));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(process.Finish(std::chrono::seconds(10)));
    EXPECT_EQ(process.ExitCode(), 3);
    ASSERT_EQ(process.Lines().size(), 2u);  // an unfinished last line is no line
    EXPECT_EQ(process.Lines()[1].Text, "two");
    EXPECT_LE(process.Started(), process.Lines()[0].At);
    EXPECT_LE(process.Lines()[1].At, process.Ended());
    EXPECT_EQ(process.Errors(), "two\n");
    EXPECT_GT(process.PeakMemory(), 0u);
    ASSERT_TRUE(process.NextLine(line, std::chrono::milliseconds(100)));
    EXPECT_EQ(line, "two");
    EXPECT_FALSE(process.NextLine(line, std::chrono::milliseconds(100)));

    MeasuredProcess environment;
    ASSERT_TRUE(environment.Start({"/bin/sh", "-c", "echo $BENCH_VALUE"}, {"BENCH_VALUE=seen"}));
    ASSERT_TRUE(environment.NextLine(line, std::chrono::seconds(10)));
    EXPECT_EQ(line, "seen");
}

TEST(BenchMeasuredProcess, OneThatDoesNotEndInTimeIsKilled)
{
    MeasuredProcess process;
    ASSERT_TRUE(process.Start({"/bin/sh", "-c", "exec sleep 30"}));
    EXPECT_FALSE(process.Finish(std::chrono::milliseconds(200)));
    EXPECT_EQ(process.ExitCode(), 128 + SIGKILL);
    EXPECT_FALSE(process.Running());

    MeasuredProcess stopped;
    ASSERT_TRUE(stopped.Start({"/bin/sh", "-c", "exec sleep 30"}));
    stopped.Signal(SIGTERM);
    EXPECT_TRUE(stopped.Finish(std::chrono::seconds(10)));
    EXPECT_EQ(stopped.ExitCode(), 128 + SIGTERM);
}

// ---- Several cards at once -----------------------------------------------------------------

// The rows as batch mode lays them out: columns as wide as their widest text,
// two blanks apart; a duration and a message hold blanks of their own.
TEST(BenchBatchSummary, ReadsEachColumnAtTheHeadingsPlace)
{
    const std::vector<std::string> lines = {
        "[/dev/pts/3] Program operation completed",
        "PORT ahead of the table is only a status line",
        "PORT                         DEVICE ID  RESULT     DURATION  LINES SENT  RETRANSMISSIONS  NOISE DROPPED  MESSAGE",
        "/dev/pts/3                   AAAA       completed  31.2 s    3519        0                17",
        "udp://127.0.0.1:4000?local=0 -          failed     5.0 s     12          3                0              No reply from the card for 5 s",
        "[/dev/pts/3] Programmed: bank 0, boot",
        "[/dev/pts/3] Versions read: none",
    };
    std::vector<BatchSummaryRow> rows;
    ASSERT_TRUE(ParseBatchSummary(lines, rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Port, "/dev/pts/3");
    EXPECT_EQ(rows[0].Device, "AAAA");
    EXPECT_EQ(rows[0].Result, "completed");
    EXPECT_EQ(rows[0].Duration, "31.2 s");
    EXPECT_EQ(rows[0].LinesSent, "3519");
    EXPECT_EQ(rows[0].Retransmissions, "0");
    EXPECT_EQ(rows[0].NoiseDropped, "17");
    EXPECT_EQ(rows[0].Message, "");
    EXPECT_EQ(rows[1].Port, "udp://127.0.0.1:4000?local=0");
    EXPECT_EQ(rows[1].Device, "-");
    EXPECT_EQ(rows[1].Result, "failed");
    EXPECT_EQ(rows[1].Retransmissions, "3");
    EXPECT_EQ(rows[1].Message, "No reply from the card for 5 s");

    EXPECT_FALSE(ParseBatchSummary({"[COM1] Program operation completed", "PORT of call"}, rows));
    EXPECT_TRUE(rows.empty());
    ASSERT_TRUE(ParseBatchSummary({lines[2]}, rows));
    EXPECT_TRUE(rows.empty());
}

TEST(BenchParallelFigures, CardCountsAndTheRatioToOneCard)
{
    std::vector<int> counts;
    ASSERT_TRUE(ParseCardCounts("1,4,16", counts));
    EXPECT_EQ(counts, (std::vector<int>{1, 4, 16}));
    EXPECT_EQ(ParallelRunOrder(counts), (std::vector<int>{1, 4, 16, 1}));
    ASSERT_TRUE(ParseCardCounts("8", counts));
    EXPECT_EQ(ParallelRunOrder(counts), (std::vector<int>{1, 8, 1}));
    for (const char* bad : {"", "0", "65", "1,,4", "4,", "-4", "+4", "4 ", "x", "100"})
        EXPECT_FALSE(ParseCardCounts(bad, counts)) << bad;

    // The reference is the mean of the one-card runs around the others.
    const std::vector<ParallelRun> runs = {
        {1, 30.0, 0.4, 29.5, 0}, {4, 31.0, 1.2, 29.5, 0}, {16, 33.6, 4.8, 29.5, 0}, {1, 32.0, 0.4, 29.5, 0}};
    EXPECT_DOUBLE_EQ(OneCardWall(runs), 31.0);
    EXPECT_DOUBLE_EQ(ParallelRatio(runs, 16), 33.6 / 31.0);
    EXPECT_DOUBLE_EQ(ParallelRatio(runs, 4), 1.0);
    EXPECT_DOUBLE_EQ(runs[2].CpuPerCard(), 0.3);
    EXPECT_DOUBLE_EQ(ParallelRatio(runs, 8), 0.0);
    EXPECT_DOUBLE_EQ(ParallelRatio({{16, 33.6, 4.8, 29.5, 0}}, 16), 0.0);
}

// ---- The card's report and the whole program ---------------------------------------------

// The wire time of a paced run is worked out from what the card counted: bytes at
// the baud rate they went at, 10 bits each; a network link adds nothing.
TEST(BenchCardProcess, CountsTheBytesOfEachLineAtItsSpeed)
{
    TempDir dir;
    for (const bool pty : {false, true}) {
        CardProcess card;
        std::string error;
        const std::vector<std::string> link =
            pty ? std::vector<std::string>{"--pty", "--baud-pacing"} : std::vector<std::string>{"--tcp", "0"};
        ASSERT_TRUE(card.Start(CORVANE_CARDSIM, link, dir.Path() + "card.json", error)) << error;
        {
            RawLink line;
            ASSERT_TRUE(pty ? line.OpenSerial(card.Address(), 9600, error)
                            : line.ConnectTcp(static_cast<std::uint16_t>(std::stoi(card.Address())), error))
                << error;
            RawClient client(line);
            ASSERT_TRUE(client.HandOver());  // "?", "1yU", "254yU": 9 bytes out, 21 back
        }
        CardReport report;
        ASSERT_TRUE(card.Stop(report, error)) << error;
        EXPECT_EQ(report.Commands, 3u);
        const std::uint32_t baud = pty ? 9600 : 0;
        ASSERT_EQ(report.Traffic.count(baud), 1u);
        EXPECT_EQ(report.Traffic.at(baud).FromPc, 9u);
        EXPECT_EQ(report.Traffic.at(baud).ToPc, 21u);
        EXPECT_DOUBLE_EQ(report.WireSeconds(), pty ? 30 * 10 / 9600.0 : 0.0);
    }
}

TEST(BenchProgram, PrintsTheTableAndTheRatiosLast)
{
    const ProcessResult run =
        RunProcess({CORVANE_BENCH, "--bin", CORVANE_BIN_DIR, "--examples", CORVANE_EXAMPLES_DIR, "--repeat", "1",
                    "--statements", "200", "--no-paced", "--big-file", "0", "--idle-seconds", "1"},
                   std::chrono::seconds(90));
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    for (const char* part : {"1. Upload over TCP", "2. Pseudo-terminal with --baud-pacing: left out",
                             "3. Effect-file play over TCP", "4. The updater's own cost", "effect file of 1.0 MB",
                             "5. Several cards at once: left out (--no-paced)"})
        EXPECT_NE(run.Out.find(part), std::string::npos) << part;
    const std::size_t last = run.Out.rfind("ratios: upload=");
    ASSERT_NE(last, std::string::npos);
    double upload = 0.0;
    double jtag = 0.0;
    ASSERT_EQ(std::sscanf(run.Out.c_str() + last, "ratios: upload=%lf pty=- jtag=%lf", &upload, &jtag), 2);
    EXPECT_NE(run.Out.find(" parallel64=-\n", last), std::string::npos) << run.Out.substr(last);
    EXPECT_GT(upload, 0.0);
    EXPECT_GT(jtag, 0.0);
    EXPECT_EQ(run.Out.back(), '\n');
    EXPECT_EQ(run.Out.find('\n', last), run.Out.size() - 1);

    EXPECT_EQ(RunProcess({CORVANE_BENCH, "--bin", CORVANE_BIN_DIR}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_BENCH, "--repeat", "0", "--bin", "x", "--examples", "y"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_BENCH, "--parallel", "1,0", "--bin", "x", "--examples", "y"}).ExitCode, 2);
    const ProcessResult missing = RunProcess({CORVANE_BENCH, "--bin", CORVANE_BIN_DIR, "--examples", "/nonexistent"});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_NE(missing.Err.find("cannot read"), std::string::npos) << missing.Err;
}
