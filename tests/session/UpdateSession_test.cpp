// Whole runs of one session against the simulated card, with no window.
#include "SessionBench.h"

#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <filesystem>

namespace {

using Lines = std::vector<std::string>;
using TRunResult = TUpdateSession::TRunResult;
using TRunBar = TUpdateSession::TRunBar;

const std::string Prompt = "Click on button START to begin program operation";
const std::vector<TRunResult> Completed{TRunResult::Completed};
const std::vector<TRunResult> Failed{TRunResult::Failed};

class FullUpdate : public ::testing::TestWithParam<Transport> {};

}  // namespace

TEST_P(FullUpdate, ProgramsEveryComponentAndEndsWithTheClosingLines)
{
    RunBench run(GetParam());
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    TUpdateSession& session = run.Bench.Session();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_TRUE(run.Bench.Boxes.empty()) << run.Bench.Boxes[0];
    EXPECT_TRUE(HoldsBundle(run.Sim(), bundle));
    EXPECT_EQ(run.Sim().UserVersion(), "0105");

    const Lines lines = run.Bench.RunLines();
    EXPECT_EQ(lines.front(), "Synchronize...");
    EXPECT_EQ(lines.back(), "Program operation completed");
    for (const char* line : {"Device ID : AAAA", "Erase Bank1", "ID Number : 5A", "ID Number : 1C0DE0A5", "Ext card"})
        EXPECT_TRUE(run.Bench.HasLine(line)) << line;
    EXPECT_EQ(session.DeviceIdText(), "Device ID : AAAA");
    for (TRunBar bar : {TRunBar::Operation, TRunBar::Component, TRunBar::Whole})
        EXPECT_EQ(session.GetBar(bar).Value, session.GetBar(bar).Maximum);
    EXPECT_EQ(session.GetDriver().GetConType(), CON_NONE);
    EXPECT_EQ(session.GetSeqState(), TSeqState::Idle);

    // The next idle tick brings the prompt back once and the link stays closed.
    session.Timer1Timer();
    session.Timer1Timer();
    EXPECT_EQ(run.Bench.StatusLines.back(), Prompt);
    EXPECT_EQ(std::count(run.Bench.StatusLines.begin(), run.Bench.StatusLines.end(), Prompt), 1);
    EXPECT_EQ(session.GetTimer().interval(), 500);
    EXPECT_EQ(session.DeviceIdText(), "(Device Id Unknown)");
}

INSTANTIATE_TEST_SUITE_P(Links, FullUpdate, ::testing::Values(Transport::Tcp, Transport::Udp, Transport::Pty),
                         [](const auto& info) { return std::string(TransportName(info.param)); });

// Skipped lines, finished operations and replies that came in one piece move the
// run on at once: the timer's ticks are left to the probe, which counts them.
TEST(Session, MovesOnWithoutWaitingForTheNextTick)
{
    RunBench run;
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    std::string remarks;
    for (int line = 0; line < 40; ++line)
        remarks += "rem nothing to do\r\n\r\n";
    run.Bench.Dir.Write("script.ini", remarks + "CM\r\n" + remarks);
    run.Bench.Dir.Write("MB/script.ini", remarks + "P0 BANK0.HEX\r\nP1 BANK1.HEX\r\nD0\r\nV0 0102\r\n" + remarks);
    run.Open();
    int ticks = 0;
    QObject::connect(&run.Bench.Session().GetTimer(), &QTimer::timeout, [&ticks] { ++ticks; });
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(0), bundle.Bank0));
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(1), bundle.Bank1));
    EXPECT_TRUE(HoldsImage(run.Sim().BootArea(), bundle.Boot));
    EXPECT_EQ(run.Sim().Versions().at('0'), "0102");
    EXPECT_LT(ticks, 20);
}

// The engines take the files of the main script from the program's folder and
// start from their idle state, whatever came before START.
class CleanStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        Bundle = WriteUpdateBundle(Run.Bench.Dir);
        // Long enough for a STOP half-way.
        Bundle.Bank1 = HexLines(0x8000, 1000, 3);
        Run.Bench.Dir.Write("MB/BANK1.HEX", JoinLines(Bundle.Bank1));
        Run.Bench.Dir.Write("BANK2.HEX", JoinLines(Bundle.Bank1));
        Run.Bench.Dir.Write("script.ini", "P2 BANK2.HEX\r\nCM\r\n");
        Run.Bench.Dir.Write("MB/script.ini", "P0 BANK0.HEX\r\nP1 BANK1.HEX\r\nV0 0102\r\n");
        Run.Open();
    }
    void ExpectCompleted()
    {
        EXPECT_EQ(Run.Bench.RunEnds, Completed);
        EXPECT_TRUE(Run.Bench.Boxes.empty()) << Run.Bench.Boxes.front();
        EXPECT_TRUE(HoldsImage(Run.Sim().Bank(2), Bundle.Bank1));
        EXPECT_TRUE(HoldsImage(Run.Sim().Bank(1), Bundle.Bank1));
        EXPECT_TRUE(HoldsImage(Run.Sim().BootArea(), Bundle.Boot));
    }
    // The status lines of the last run but the boot checksum, which is the card's sum of what it holds.
    Lines RunLines() const
    {
        Lines lines = Run.Bench.RunLines();
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const std::string& line) { return line.starts_with("Boot Checksum : "); }),
                    lines.end());
        return lines;
    }
    // Starts a run and stops it in the middle of the upload of bank 1.
    void StopDuringAnUpload()
    {
        const std::uint32_t before = Run.Sim().Bank(1).LinesWritten;
        Run.Bench.Begin();
        ASSERT_TRUE(WaitUntil([&] { return Run.Sim().Bank(1).LinesWritten >= before + 2; }));
        Run.Bench.Session().Stop();
        ASSERT_TRUE(Run.Bench.Session().GetProgPsd().IsBusy());
    }

    RunBench Run;
    UpdateBundle Bundle;
};

TEST_F(CleanStart, StartRightAfterTheSessionIsMadeRunsAsAfterAnIdleStep)
{
    ASSERT_TRUE(Run.Bench.Run());  // no idle step has run yet
    ExpectCompleted();
    const Lines first = RunLines();
    Run.Bench.Session().Timer1Timer();
    ASSERT_TRUE(Run.Bench.Run());
    ExpectCompleted();
    EXPECT_EQ(RunLines(), first);
}

TEST_F(CleanStart, StartInTheSameTickAsStopRunsAsAfterAnIdleStep)
{
    StopDuringAnUpload();
    Run.Bench.Session().Timer1Timer();  // the idle step between STOP and START
    ASSERT_TRUE(Run.Bench.Run());
    ExpectCompleted();
    const Lines afterIdle = RunLines();

    StopDuringAnUpload();
    ASSERT_TRUE(Run.Bench.Run());  // STOP and START in one go, as one event handler may do
    ExpectCompleted();
    EXPECT_EQ(RunLines(), afterIdle);
}

TEST(Session, AutoModeSkipsWhatIsUpToDateManualModeWhatIsNotChosen)
{
    CardOptions options;
    options.Versions = {{3, "0102"}, {8, "0200"}};
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("MB/script.ini", "T3 0102\r\nP0 BANK0.HEX\r\nP1 BANK1.HEX\r\nV0 0102\r\nD0\r\n"
                                         "T8 0200\r\nP8 PROM.SVF\r\nV8 0200\r\n");
    run.Open();
    TUpdateSession& session = run.Bench.Session();
    // One bank up to date stands for all eight; the JTAG target is skipped alone.
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_EQ(run.Sim().Bank(0).Erases + run.Sim().Bank(1).Erases, 0u);
    EXPECT_EQ(run.Sim().EffectRecordsExecuted(), 0u);
    EXPECT_TRUE(run.Bench.HasLine("ID Number : 5A"));  // "D" lines still run
    EXPECT_EQ(run.Sim().Versions().count('0'), 0u);

    // Manual mode skips nothing that is up to date, only what is not chosen.
    session.SetManual(true);
    session.SetSelection({true, false, true});
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Sim().Bank(0).Erases, 0u);
    EXPECT_GT(run.Sim().EffectRecordsExecuted(), 0u);
    const std::vector<std::uint8_t>& memory = run.Sim().Jtag().Devices()[0].Memory();
    EXPECT_TRUE(std::equal(bundle.JtagMemory.begin(), bundle.JtagMemory.end(), memory.begin()));

    // Without the motherboard, "CM" is a remark and "C0" runs whatever the selection says.
    session.SetSelection({false, true, true});
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_EQ(session.GetScriptLines().at(1), "rem");
    EXPECT_EQ(run.Sim().Bank(0).Erases, 0u);
    EXPECT_EQ(run.Sim().UserVersion(), "0105");
}

TEST(Session, CardFailingItsPingSkipsItsComponent)
{
    CardOptions options;
    options.AbsentCards = {0};
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_EQ(run.Bench.Session().GetScriptLines(), (Lines{"rem full update", "CM", "M0", "rem"}));
    EXPECT_EQ(run.Sim().UserVersion(), "");
    EXPECT_FALSE(run.Bench.HasLine("Ext card"));
    EXPECT_TRUE(HoldsBundle(run.Sim(), bundle));
}

TEST(Session, SyntaxErrorsNameTheLineAndTheScript)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    run.Bench.CheckUpdate = false;
    const std::string main = run.Path("script.ini");
    const std::string component = run.Path("EXT/script.ini");
    // Each case: the main script, the component script, the box text.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"rem\r\n\r\nREM capitals\r\n", "", "Syntax Error in script file line : 3\n" + main},
        {"C1\r\n", "", "Syntax Error in script file line : 1\n" + main},
        {"rem\r\n  C  \r\n", "", "Syntax Error in script file line : 2\n" + main},
        {"Cz\r\n", "rem\r\nprompt here\r\nCM\r\n", "Syntax Error in script file line : 3\n" + component},
    };
    for (const auto& [script, ext, box] : cases) {
        run.Bench.Dir.Write("script.ini", script);
        run.Bench.Dir.Write("EXT/script.ini", ext);
        run.Bench.Boxes.clear();
        ASSERT_TRUE(run.Bench.Run()) << script;
        EXPECT_EQ(run.Bench.RunEnds, Failed) << script;
        EXPECT_EQ(run.Bench.Boxes, Lines{box}) << script;
        EXPECT_EQ(run.Bench.Session().GetDriver().GetConType(), CON_NONE);
    }
    EXPECT_TRUE(run.Bench.HasLine("here"));  // "Cz" ran the "EXT/" component
}

TEST(Session, MissingScriptsAndFilesAreReported)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    run.Bench.CheckUpdate = false;
    run.Bench.Dir.Write("script.ini", "C0\r\nprompt after\r\n");
    std::filesystem::remove_all(run.Path("EXT"));
    ASSERT_TRUE(run.Bench.Run());
    // The component was never updated: the run must not end as completed.
    EXPECT_EQ(run.Bench.RunEnds, Failed);
    EXPECT_EQ(run.Bench.EndMessages, Lines{run.Path("EXT/script.ini File not found !!!")});
    EXPECT_TRUE(run.Bench.HasLine(run.Path("EXT/script.ini") + " File not found !!!"));
    EXPECT_EQ(run.Bench.Boxes, Lines{run.Path("EXT/script.ini File not found !!!\n") + run.Path("EXT/script.ini")});
    EXPECT_FALSE(run.Bench.HasLine("after"));
    EXPECT_FALSE(run.Bench.HasLine("Program operation completed"));
    run.Bench.Boxes.clear();

    run.Bench.Dir.Write("script.ini", "prompt after\r\n");
    std::filesystem::remove(run.Path("BOOT_EXT_OPTION.HEX"));
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes,
              Lines{run.Path("BOOT_EXT_OPTION.HEX File not found !!!\n") + run.Path("script.ini")});

    std::filesystem::remove(run.Path("script.ini"));
    run.Bench.Boxes.clear();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes, Lines{run.Path("script.ini File not found !!!\n") + run.Path("script.ini")});
}

TEST(Session, EngineErrorClosesTheLinkAndEndsTheRunWithTheScriptsPath)
{
    CardOptions options;
    options.Faults.Refused = {"P1"};
    RunBench run(Transport::Tcp, options);
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    TUpdateSession& session = run.Bench.Session();
    std::vector<std::string> sequence;
    session.OnRunEnding = [&] { sequence.push_back("ending"); };
    session.OnBox = [&](TBoxKind kind, const std::string& text) {
        EXPECT_EQ(kind, TBoxKind::Error);
        // The link is closed before the box is shown.
        EXPECT_EQ(session.GetDriver().GetConType(), CON_NONE);
        sequence.push_back(text);
    };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Failed);
    EXPECT_EQ(sequence, (Lines{"ending", "Error while erasing !!!\n" + run.Path("MB/script.ini")}));
    EXPECT_EQ(run.Bench.RunLines().back(), "Error while erasing !!!");
    EXPECT_EQ(session.GetSeqState(), TSeqState::Idle);
}

TEST(Session, StopInTheMiddleThenAFreshRun)
{
    RunBench run;
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    // The card stops answering part-way through bank 1, so STOP comes during its upload.
    SimulatedCard& card = run.Card.Card;
    const std::function<void(const std::string&)> answer = card.OnOutput;
    card.OnOutput = [&card, answer](const std::string& bytes) {
        if (card.Bank(1).LinesWritten <= 2)
            answer(bytes);
    };
    TUpdateSession& session = run.Bench.Session();
    run.Bench.Begin();
    ASSERT_TRUE(WaitUntil([&] { return run.Sim().Bank(1).LinesWritten > 2; }));
    EXPECT_FALSE(session.Start());  // START is STOP while a run is on
    session.Stop();
    EXPECT_EQ(session.GetSeqState(), TSeqState::Idle);
    EXPECT_EQ(session.GetDriver().GetConType(), CON_NONE);
    EXPECT_EQ(run.Bench.RunEnds, std::vector<TRunResult>{TRunResult::Stopped});
    EXPECT_FALSE(run.Sim().Bank(1).Verified);

    card.OnOutput = answer;
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_TRUE(HoldsBundle(run.Sim(), bundle));
}

// The JTAG engine gives the card a second after "P8" is accepted. The thread is
// not held meanwhile: STOP ends the run at once and nothing more is sent.
TEST(Session, StopDuringThePauseBeforeAPlayEndsTheRunAtOnce)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("script.ini", "CM\r\n");
    run.Bench.Dir.Write("MB/script.ini", "P8 PROM.SVF\r\n");
    run.Bench.Link = run.Card.SessionLink();
    run.Bench.Open({}, true);
    TUpdateSession& session = run.Bench.Session();
    std::uint32_t nowMs = 0;
    session.GetProgJtag().TickCount = [&nowMs] { return nowMs; };
    int ticks = 0;
    QObject::connect(&session.GetTimer(), &QTimer::timeout, [&ticks] { ++ticks; });
    run.Bench.Begin();
    ASSERT_TRUE(WaitUntil([&] { return session.GetProgJtag().GetState() == TProgJtag::JtagState::PausedBeforePlay; }));
    const std::size_t recordsBefore = run.Sim().EffectRecordsExecuted();
    // The event loop runs on during the pause: timers fire, text is taken.
    const int ticksBefore = ticks;
    ASSERT_TRUE(WaitUntil([&] { return ticks >= ticksBefore + 3; }));
    EXPECT_TRUE(session.GetProgJtag().IsBusy());
    const auto stopAt = std::chrono::steady_clock::now();
    session.Stop();
    EXPECT_EQ(session.GetSeqState(), TSeqState::Idle);
    EXPECT_EQ(session.GetDriver().GetConType(), CON_NONE);
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(100));
    EXPECT_EQ(run.Bench.RunEnds, std::vector<TRunResult>{TRunResult::Stopped});
    // Past the end of the pause, no record went out.
    nowMs += 2000;
    const int ticksStopped = ticks;
    ASSERT_TRUE(WaitUntil([&] { return ticks >= ticksStopped + 1; }));
    EXPECT_EQ(run.Sim().EffectRecordsExecuted(), recordsBefore);
}

TEST(Session, PauseBeforeAPlayStillPlaysTheWholeFile)
{
    RunBench run;
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Link = run.Card.SessionLink();
    run.Bench.Open({}, true);
    // The pause's clock moves 300 ms at every look: the play waits four looks.
    std::uint32_t nowMs = 0;
    int looks = 0;
    TProgJtag& jtag = run.Bench.Session().GetProgJtag();
    jtag.TickCount = [&] {
        ++looks;
        return nowMs += 300;
    };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(looks, 5);  // when the play opens, then until 1000 ms have passed
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_TRUE(HoldsBundle(run.Sim(), bundle));
}

// The operator learns first which link was asked and how, then what to do.
TEST(Session, UnansweredProbeNamesTheLinkAsksForTheButtonAndSynchronisesAnyway)
{
    CardOptions options;
    options.StartInBootLoader = true;
    // The serial device by its COM port, and given by its path alone (named once).
    for (const auto& [transport, byPath] : {std::pair{Transport::Udp, false}, {Transport::Pty, false}, {Transport::Pty, true}}) {
        SCOPED_TRACE(TransportName(transport));
        RunBench run(transport, options);
        const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
        run.Open();
        TLinkSettings& link = run.Bench.Link;
        if (byPath)
            link.ComPort = link.SerialDevice;
        ASSERT_TRUE(run.Bench.Run());
        const Lines lines = run.Bench.RunLines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], transport == Transport::Udp ? "No answer from udp://127.0.0.1:" + std::to_string(link.RemotePort)
                            : byPath                    ? "No answer on " + link.SerialDevice + " at 9600 baud"
                                                        : "No answer on COM2 (" + link.SerialDevice + ") at 9600 baud");
        EXPECT_EQ(lines[1], "Switch ON device while pushing the ENTER button");
        EXPECT_FALSE(run.Bench.HasLine("Synchronize..."));
        EXPECT_TRUE(HoldsBundle(run.Sim(), bundle));
    }
}

TEST(Session, FailureEscapingAStepEndsTheRunInOrder)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("script.ini", "prompt boom\r\nprompt never\r\n");
    run.Open();
    TUpdateSession& session = run.Bench.Session();
    session.GetInstCrt().OnInfo = [](TGestionnaire& engine) { throw std::runtime_error(engine.GetInfoText()); };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes, Lines{"boom\n" + run.Path("script.ini")});
    EXPECT_TRUE(session.GetTimer().isActive());
    EXPECT_EQ(session.GetDriver().GetConType(), CON_NONE);
}

TEST(Session, OtherScriptNamesEndWithTheClosingLineOnly)
{
    CardOptions options;
    options.DeviceId = 0x1234;
    RunBench run(Transport::Tcp, options);
    WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("readid.ini", "D8\r\n");
    TempDir elsewhere;
    const std::string argument = elsewhere.Write("Script.ini", "C0\r\n");
    run.Bench.Dir.Write("EXT/Script.ini", "UV 0777\r\n");
    run.Open(argument);

    ASSERT_TRUE(run.Bench.Run(true));
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_TRUE(run.Bench.HasLine("ID Number : 1C0DE0A5"));
    EXPECT_EQ(run.Bench.Session().DeviceIdText(), "Device ID : 1234");

    // START runs the argument; its component script has its file name, below the program's folder.
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    EXPECT_EQ(run.Sim().UserVersion(), "0777");
    EXPECT_EQ(run.Sim().BootArea().Erases, 0u);
    EXPECT_EQ(run.Sim().OptionCode(), "");
    EXPECT_EQ(run.Sim().CurrentMode(), SimulatedCard::Mode::Firmware);
}

TEST(Session, DeviceIdentifierZeroStillAllowsProgramming)
{
    CardOptions options;
    options.DeviceId = 0;
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    std::vector<std::int32_t> reported;
    run.Bench.Session().OnDeviceID = [&](std::int32_t id) { reported.push_back(id); };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(1), bundle.Bank1));
    EXPECT_EQ(reported, std::vector<std::int32_t>{0});
    EXPECT_EQ(run.Bench.Session().DeviceIdText(), "(Device Id Unknown)");
    EXPECT_EQ(run.Sim().OptionCode(), "0000");
}

TEST(Session, LinkThatCannotOpenEndsTheRun)
{
    SessionBench serial;
    serial.CheckUpdate = false;
    serial.Link.ComPort = "COM3";
    serial.Link.SerialDevice = "/dev/corvane-missing";
    serial.Dir.Write("script.ini", "FI\r\n");
    serial.Open();
    ASSERT_TRUE(serial.Run());
    EXPECT_EQ(serial.Boxes, Lines{"Error while opening COM3 (/dev/corvane-missing)\n" + serial.Dir.Path() + "script.ini"});
    EXPECT_EQ(serial.RunLines(), (Lines{"No such file or directory : /dev/corvane-missing is not there; plug the adapter in "
                                         "or choose the device (Port menu, Serial device...)",
                                         "Error while opening COM3 (/dev/corvane-missing)"}));

    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::AnyIPv4, 0));
    SessionBench lan;
    lan.CheckUpdate = false;
    lan.Link.ConType = CON_UDP;
    lan.Link.RemoteAddress = "127.0.0.1";
    lan.Link.RemotePort = 10500;
    lan.Link.LocalPort = taken.localPort();
    lan.Dir.Write("script.ini", "FI\r\n");
    lan.Open();
    ASSERT_TRUE(lan.Run());
    EXPECT_EQ(lan.Boxes, Lines{"Error while opening LAN Device\n" + lan.Dir.Path() + "script.ini"});
}

// A refused connection is tried again and again, so it is no failure of the
// run; the probe's end says the card never accepted it.
TEST(Session, TcpConnectionStillBeingAttemptedIsNoFailure)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const std::uint16_t refusing = closed.serverPort();
    closed.close();
    SessionBench bench;
    bench.CheckUpdate = false;
    bench.Link.ConType = CON_TCP;
    bench.Link.RemoteAddress = "127.0.0.1";
    bench.Link.RemotePort = refusing;
    bench.Dir.Write("script.ini", "FI\r\n");
    bench.Open();
    bench.Begin();
    ASSERT_TRUE(WaitUntil([&] { return bench.HasLine("Switch ON device while pushing the ENTER button"); }));
    EXPECT_EQ(bench.RunLines().front(), "No connection to tcp://127.0.0.1:" + std::to_string(refusing) +
                                            ": it was never accepted (Connection refused)");
    EXPECT_TRUE(bench.Boxes.empty());
    EXPECT_TRUE(bench.Session().WaitsOnCard());
    bench.Session().Stop();
    EXPECT_EQ(bench.Session().GetSeqState(), TSeqState::Idle);
}

// One line per silence, and the run goes on: the operator decides.
TEST(Session, SilentCardIsPointedOutOnceAndTheRunGoesOn)
{
    QUdpSocket silentCard;
    ASSERT_TRUE(silentCard.bind(QHostAddress::LocalHost, 0));
    SessionBench bench;
    bench.Link.ConType = CON_UDP;
    bench.Link.RemoteAddress = "127.0.0.1";
    bench.Link.RemotePort = silentCard.localPort();
    bench.Link.LocalPort = 0;
    bench.Dir.Write("script.ini", "FI\r\n");
    bench.CheckUpdate = false;
    bench.Open();
    TUpdateSession& session = bench.Session();
    std::int64_t nowMs = 0;
    session.ClockMs = [&nowMs] { return nowMs; };
    session.SetCardSilenceInterval(1000);
    int ticks = 0;
    QObject::connect(&session.GetTimer(), &QTimer::timeout, [&ticks] { ++ticks; });
    const auto tickMore = [&ticks](int count) {
        const int until = ticks + count;
        return WaitUntil([&] { return ticks >= until; });
    };
    bench.Begin();
    const std::string silence = "No reply from the card for 1 s: check the link, or press Ctrl+C";
    session.SetOperatorHints(BatchHints);
    const auto count = [&] { return std::count(bench.StatusLines.begin(), bench.StatusLines.end(), silence); };
    ASSERT_TRUE(tickMore(3));
    EXPECT_EQ(count(), 0);
    nowMs += 1000;
    ASSERT_TRUE(tickMore(3));
    EXPECT_EQ(count(), 1);
    nowMs += 5000;
    ASSERT_TRUE(tickMore(3));
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(session.WaitsOnCard());
    EXPECT_TRUE(bench.RunEnds.empty());
    session.Stop();
}

// After Close nothing steps any more: neither the timer nor the card's text.
TEST(Session, ClosedSessionTakesNoFurtherStep)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    TUpdateSession& session = run.Bench.Session();
    run.Bench.Begin();
    ASSERT_TRUE(WaitUntil([&] { return run.Bench.HasLine("Device ID : AAAA"); }));
    session.Stop();
    session.Close();
    const std::size_t lines = run.Bench.StatusLines.size();
    session.Timer1Timer();
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(run.Bench.StatusLines.size(), lines);
    EXPECT_FALSE(session.GetTimer().isActive());
    EXPECT_FALSE(session.Start());
}

// A broken update is found before the link opens: the run ends at once with
// the problems, file and line each, and the card hears nothing.
TEST(Session, CheckAtStartFindsABrokenUpdateBeforeTheCardHearsAnything)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    // Bank 1's file is gone and the effect file has a line the card cannot take:
    // today's run would find them after bank 0 was erased and rewritten.
    std::filesystem::remove(run.Path("MB/BANK1.HEX"));
    run.Bench.Dir.Write("MB/PROM.SVF", "STATE RESET;\nSIR 8 TDI (13);\nBOGUS 1;\n");
    run.Bench.Dir.Write("EXT/script.ini", "prompt Ext card\r\nV1 12\r\nV2 12\r\nV3 12\r\nV4 12\r\nV5 12\r\n");
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Failed);
    ASSERT_EQ(run.Bench.Boxes.size(), 1u);
    const std::string& box = run.Bench.Boxes[0];
    EXPECT_EQ(box.rfind("The update has 7 problem(s): nothing was sent to the card\n", 0), 0u) << box;
    EXPECT_NE(box.find(run.Path("MB/script.ini") + ":3: "), std::string::npos) << box;
    EXPECT_NE(box.find(run.Path("MB/PROM.SVF") + ":3: "), std::string::npos) << box;
    EXPECT_NE(box.find("... and 2 more\n" + run.Path("script.ini")), std::string::npos) << box;
    EXPECT_EQ(run.Bench.RunLines().size(), 6u);
    EXPECT_EQ(run.Sim().Bank(0).Erases, 0u);
    EXPECT_TRUE(run.Sim().Versions().empty());
    EXPECT_EQ(run.Bench.Session().GetLinesSent(), 0);

    // Turned off, the run meets the same update part-way, as before.
    run.Bench.CheckUpdate = false;
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes.back(), run.Path("MB/BANK1.HEX") + " File not found !!!\n" + run.Path("MB/script.ini"));
    EXPECT_EQ(run.Sim().Bank(0).Erases, 1u);
}

// The clock runs a millisecond for each byte the link carries, a known rate:
// the time left then matches what the run still takes.
TEST(Session, TimeLeftComesFromThePlanAndTheRateSoFar)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("MB/BANK1.HEX", JoinLines(HexLines(0x8000, 600, 3)));
    run.Open();
    TUpdateSession& session = run.Bench.Session();
    std::int64_t nowMs = 0;
    session.ClockMs = [&nowMs] { return nowMs; };
    run.Card.Link->OnTrace = [&nowMs](const char*, const std::string& bytes) {
        nowMs += static_cast<std::int64_t>(bytes.size());
    };
    EXPECT_EQ(session.SecondsLeft(), -1);
    // The estimate at each reply, and when it was made.
    std::vector<std::pair<std::int64_t, std::int64_t>> estimates;
    session.OnCardText = [&] { estimates.emplace_back(nowMs, session.SecondsLeft()); };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, Completed);
    const std::int64_t endMs = nowMs;
    ASSERT_GT(endMs, 20000);

    // Unknown for the first two seconds, then within a tenth of what was left.
    std::size_t checked = 0;
    for (const auto& [atMs, estimate] : estimates) {
        if (atMs < TUpdateSession::EstimateAfterMs) {
            EXPECT_EQ(estimate, -1) << atMs;
            continue;
        }
        const double left = static_cast<double>(endMs - atMs) / 1000.0;
        if (left < 5.0)
            continue;
        EXPECT_NEAR(static_cast<double>(estimate), left, left * 0.1) << atMs;
        ++checked;
    }
    EXPECT_GT(checked, 100u);
    EXPECT_EQ(session.SecondsLeft(), -1);  // idle again
}

// A card on a broken line that sends bytes but never a reply the run can take.
class ChatteringCard {
public:
    // answer: what the card sends for each datagram it receives.
    explicit ChatteringCard(std::function<std::vector<std::string>(const std::string&)> answer) : Answer(std::move(answer))
    {
        Socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&Socket, &QUdpSocket::readyRead, [this] {
            while (Socket.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray datagram(static_cast<int>(Socket.pendingDatagramSize()), '\0');
                Socket.readDatagram(datagram.data(), datagram.size(), &from, &port);
                for (const std::string& reply : Answer(datagram.toStdString()))
                    Socket.writeDatagram(reply.data(), static_cast<qint64>(reply.size()), from, port);
            }
        });
    }
    void Use(SessionBench& bench) const
    {
        bench.Link.ConType = CON_UDP;
        bench.Link.RemoteAddress = "127.0.0.1";
        bench.Link.RemotePort = Socket.localPort();
        bench.Link.LocalPort = 0;
        bench.Dir.Write("script.ini", "FI\r\n");
        bench.CheckUpdate = false;
    }

private:
    std::function<std::vector<std::string>(const std::string&)> Answer;
    QUdpSocket Socket;
};

// Line noise is no reply: a card that sends only noise is silent, and the noise is counted.
TEST(Session, CardSendingOnlyNoiseIsSilent)
{
    ChatteringCard card([](const std::string&) { return std::vector<std::string>{std::string("\0\xFF\x1B", 3)}; });
    SessionBench bench;
    card.Use(bench);
    bench.Open();
    TUpdateSession& session = bench.Session();
    std::int64_t nowMs = 0;
    session.ClockMs = [&nowMs] { return nowMs; };
    session.SetCardSilenceInterval(1000);
    session.SetOperatorHints(BatchHints);
    std::vector<int> replies;
    session.OnReplyTaken = [&replies] { replies.push_back(1); };
    bench.Begin();
    // The probe runs out; the boot loader's synchronisation hears nothing but noise.
    ASSERT_TRUE(WaitUntil([&] { return session.GetSeqState() == TSeqState::AwaitSync && session.GetNoiseDropped() > 6; }, 10000));
    nowMs += 1000;
    const std::string silence = "No reply from the card for 1 s: check the link, or press Ctrl+C";
    EXPECT_TRUE(WaitUntil([&] { return bench.HasLine(silence); }, 2000));
    EXPECT_TRUE(replies.empty());
    session.Stop();
}

// Text that no wait takes piles up to a bound, and then the run fails naming the link.
TEST(Session, CardSendingTextButNoReplyFailsAtTheBound)
{
    const std::string chatter(8000, 'c');
    ChatteringCard card([&chatter](const std::string& received) {
        std::vector<std::string> replies;
        if (received == "%" || received == "57")
            replies.push_back(".");
        // The identification is due next: text comes, never its ".".
        if (received == "57")
            replies.insert(replies.end(), 10, chatter);
        return replies;
    });
    SessionBench bench;
    card.Use(bench);
    bench.Open();
    ASSERT_TRUE(bench.Run(false, 15000));
    ASSERT_EQ(bench.RunEnds, std::vector<TUpdateSession::TRunResult>{TUpdateSession::TRunResult::Failed});
    EXPECT_EQ(bench.EndMessages.back(), "The card sends text but no reply on udp://127.0.0.1:" +
                                            std::to_string(bench.Link.RemotePort) + ": check the link");
}
