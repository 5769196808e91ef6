#include "AppBench.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using Lines = std::vector<std::string>;

const std::string Prompt = "Click on button START to begin program operation";

// A window and a card that it reaches through "Updater.prm" alone.
struct RunBench {
    explicit RunBench(Transport transport = Transport::Tcp, CardOptions options = {}) : Card(transport, options) {}
    void Open(const std::string& scriptArgument = {})
    {
        Bench.Dir.Write("Updater.prm", Card.SettingsText());
        Bench.Open(scriptArgument);
    }
    std::string Path(const std::string& name) const { return Bench.Dir.Path() + name; }
    const SimulatedCard& Sim() const { return Card.Card; }

    CardBench Card;
    AppBench Bench;
};

void ExpectFullyProgrammed(const SimulatedCard& card, const UpdateBundle& bundle)
{
    EXPECT_TRUE(HoldsImage(card.BootArea(), bundle.Boot));
    EXPECT_TRUE(HoldsImage(card.Bank(0), bundle.Bank0));
    EXPECT_TRUE(HoldsImage(card.Bank(1), bundle.Bank1));
    EXPECT_TRUE(card.BootArea().Verified && card.Bank(0).Verified && card.Bank(1).Verified);
    const std::vector<std::uint8_t>& memory = card.Jtag().Devices()[0].Memory();
    EXPECT_TRUE(std::equal(bundle.JtagMemory.begin(), bundle.JtagMemory.end(), memory.begin()));
    EXPECT_EQ(card.Versions(), (std::map<char, std::string>{{'0', "0102"}, {'8', "0200"}}));
    EXPECT_EQ(card.OptionCode(), "0000");
    EXPECT_EQ(card.CurrentMode(), SimulatedCard::Mode::Firmware);  // "FI" came last
}

class FullUpdate : public ::testing::TestWithParam<Transport> {};

}  // namespace

TEST_P(FullUpdate, ProgramsEveryComponentAndEndsWithTheClosingLines)
{
    RunBench run(GetParam());
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    TMainFich& window = run.Bench.Window();
    window.Timer1Timer();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_TRUE(run.Bench.Boxes.empty()) << run.Bench.Boxes[0];
    ExpectFullyProgrammed(run.Sim(), bundle);
    EXPECT_EQ(run.Sim().UserVersion(), "0105");

    const Lines lines = run.Bench.RunLines();
    EXPECT_EQ(lines.front(), "Synchronize...");
    EXPECT_EQ(lines.back(), "Program operation completed");
    for (const char* line : {"Device ID : AAAA", "Erase Bank1", "ID Number : 5A", "ID Number : 1C0DE0A5", "Ext card"})
        EXPECT_TRUE(run.Bench.HasLine(line)) << line;
    EXPECT_EQ(window.windowTitle(), "Corvane Pelto Updater Device ID : AAAA");
    for (const QProgressBar* bar : {window.ProgressBar1, window.ProgressBar2, window.ProgressBar3})
        EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(window.GetDriver().GetConType(), CON_NONE);
    EXPECT_TRUE(window.Port1->menuAction()->isEnabled());
    EXPECT_EQ(window.Start->text(), "QUIT");  // for one tick: no Read Id button here

    // The next idle tick brings the prompt back once and the link stays closed.
    window.Timer1Timer();
    window.Timer1Timer();
    EXPECT_EQ(run.Bench.StatusLines.back(), Prompt);
    EXPECT_EQ(std::count(run.Bench.StatusLines.begin(), run.Bench.StatusLines.end(), Prompt), 2);
    EXPECT_EQ(window.Start->text(), "START");
    EXPECT_EQ(window.Timer1->interval(), 500);
}

INSTANTIATE_TEST_SUITE_P(Links, FullUpdate, ::testing::Values(Transport::Tcp, Transport::Udp, Transport::Pty),
                         [](const auto& info) { return std::string(TransportName(info.param)); });

// Skipped lines, finished operations and replies that came in one piece move the
// run on at once: the timer's ticks are left to the probe, which counts them.
TEST(Sequencer, MovesOnWithoutWaitingForTheNextTick)
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
    QObject::connect(run.Bench.Window().Timer1, &QTimer::timeout, [&ticks] { ++ticks; });
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(0), bundle.Bank0));
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(1), bundle.Bank1));
    EXPECT_TRUE(HoldsImage(run.Sim().BootArea(), bundle.Boot));
    EXPECT_EQ(run.Sim().Versions().at('0'), "0102");
    EXPECT_LT(ticks, 20);
}

TEST(Sequencer, AutoModeSkipsBanksAlreadyAtTheScriptsVersion)
{
    CardOptions options;
    options.Versions = {{3, "0102"}};
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("MB/script.ini", "T3 0102\r\nP0 BANK0.HEX\r\nP1 BANK1.HEX\r\nV0 0102\r\nD0\r\n"
                                         "T8 0200\r\nP8 PROM.SVF\r\nV8 0200\r\n");
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_EQ(run.Sim().Bank(0).Erases + run.Sim().Bank(1).Erases, 0u);
    EXPECT_TRUE(run.Bench.HasLine("ID Number : 5A"));  // "D" lines still run
    EXPECT_EQ(run.Sim().Versions().at('8'), "0200");
    EXPECT_EQ(run.Sim().Versions().count('0'), 0u);
    const std::vector<std::uint8_t>& memory = run.Sim().Jtag().Devices()[0].Memory();
    EXPECT_TRUE(std::equal(bundle.JtagMemory.begin(), bundle.JtagMemory.end(), memory.begin()));
}

TEST(Sequencer, AutoModeSkipsTheJtagTargetAlone)
{
    CardOptions options;
    options.Versions = {{8, "0200"}};
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(1), bundle.Bank1));
    EXPECT_EQ(run.Sim().EffectRecordsExecuted(), 0u);
    // Manual mode would not have skipped anything: the filter belongs to Auto.
    run.Bench.Window().MManual->setChecked(true);
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_GT(run.Sim().EffectRecordsExecuted(), 0u);
}

TEST(Sequencer, ManualSelectionSkipsWhatIsNotChecked)
{
    RunBench run;
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    TMainFich& window = run.Bench.Window();
    window.MManual->setChecked(true);
    window.GetCompSel().CBMB->setChecked(false);
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_EQ(window.GetScriptLines().at(1), "rem");
    EXPECT_EQ(run.Sim().Bank(0).Erases, 0u);
    EXPECT_EQ(run.Sim().EffectRecordsExecuted(), 0u);
    EXPECT_EQ(run.Sim().UserVersion(), "0105");  // "C0" runs whatever the dialog shows

    window.GetCompSel().CBMB->setChecked(true);
    window.GetCompSel().CBMBMCU->setChecked(false);
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Sim().Bank(0).Erases, 0u);
    EXPECT_EQ(run.Sim().Versions().count('0'), 0u);
    EXPECT_EQ(run.Sim().Versions().at('8'), "0200");
    const std::vector<std::uint8_t>& memory = run.Sim().Jtag().Devices()[0].Memory();
    EXPECT_TRUE(std::equal(bundle.JtagMemory.begin(), bundle.JtagMemory.end(), memory.begin()));
}

TEST(Sequencer, CardFailingItsPingSkipsItsComponent)
{
    CardOptions options;
    options.AbsentCards = {0};
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_EQ(run.Bench.Window().GetScriptLines(), (Lines{"rem full update", "CM", "M0", "rem"}));
    EXPECT_EQ(run.Sim().UserVersion(), "");
    EXPECT_FALSE(run.Bench.HasLine("Ext card"));
    ExpectFullyProgrammed(run.Sim(), bundle);
}

TEST(Sequencer, SyntaxErrorsNameTheLineAndTheScript)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    const std::string main = run.Path("script.ini");
    const std::string component = run.Path("EXT/script.ini");
    // Each case: the main script, the component script, the box text.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"rem\r\n\r\nREM capitals\r\n", "", "Syntax Error in script file line : 3\r\n" + main},
        {"C1\r\n", "", "Syntax Error in script file line : 1\r\n" + main},
        {"rem\r\n  C  \r\n", "", "Syntax Error in script file line : 2\r\n" + main},
        {"Cz\r\n", "rem\r\nprompt here\r\nCM\r\n", "Syntax Error in script file line : 3\r\n" + component},
    };
    for (const auto& [script, ext, box] : cases) {
        run.Bench.Dir.Write("script.ini", script);
        run.Bench.Dir.Write("EXT/script.ini", ext);
        run.Bench.Boxes.clear();
        ASSERT_TRUE(run.Bench.Run()) << script;
        EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{false}) << script;
        EXPECT_EQ(run.Bench.Boxes, Lines{box}) << script;
        EXPECT_EQ(run.Bench.Window().GetDriver().GetConType(), CON_NONE);
    }
    EXPECT_TRUE(run.Bench.HasLine("here"));  // "Cz" ran the "EXT/" component
}

TEST(Sequencer, MissingScriptsAndFilesAreReported)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    run.Bench.Dir.Write("script.ini", "C0\r\nprompt after\r\n");
    std::filesystem::remove_all(run.Path("EXT"));
    ASSERT_TRUE(run.Bench.Run());
    // The component was never updated: the run must not end as completed.
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{false});
    EXPECT_TRUE(run.Bench.HasLine(run.Path("EXT/script.ini") + " File not found !!!"));
    EXPECT_EQ(run.Bench.Boxes, Lines{run.Path("EXT/script.ini File not found !!!\r\n") + run.Path("EXT/script.ini")});
    EXPECT_FALSE(run.Bench.HasLine("after"));
    EXPECT_FALSE(run.Bench.HasLine("Program operation completed"));
    run.Bench.Boxes.clear();

    run.Bench.Dir.Write("script.ini", "prompt after\r\n");
    std::filesystem::remove(run.Path("BOOT_EXT_OPTION.HEX"));
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes,
              Lines{run.Path("BOOT_EXT_OPTION.HEX File not found !!!\r\n") + run.Path("script.ini")});

    std::filesystem::remove(run.Path("script.ini"));
    run.Bench.Boxes.clear();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes, Lines{run.Path("script.ini File not found !!!\r\n") + run.Path("script.ini")});
}

TEST(Sequencer, EngineErrorClosesTheLinkAndShowsTheBox)
{
    CardOptions options;
    options.Faults.Refused = {"P1"};
    RunBench run(Transport::Tcp, options);
    WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    TMainFich& window = run.Bench.Window();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{false});
    EXPECT_EQ(run.Bench.Boxes, Lines{"Error while erasing !!!\r\n" + run.Path("MB/script.ini")});
    EXPECT_EQ(run.Bench.RunLines().back(), "Error while erasing !!!");
    EXPECT_EQ(window.GetDriver().GetConType(), CON_NONE);
    EXPECT_EQ(window.GetSeqState(), 0);
    // Without a Read Id button the Start button offers to quit while the box is up.
    EXPECT_EQ(window.Start->text(), "QUIT");
    window.Timer1Timer();
    EXPECT_EQ(window.Start->text(), "START");
}

TEST(Sequencer, StopInTheMiddleThenAFreshRun)
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
    TMainFich& window = run.Bench.Window();
    window.StartClick();
    window.Timer1Timer();
    ASSERT_TRUE(WaitUntil([&] { return run.Sim().Bank(1).LinesWritten > 2; }));
    window.StartClick();
    EXPECT_EQ(window.GetSeqState(), 0);
    EXPECT_EQ(window.GetDriver().GetConType(), CON_NONE);
    EXPECT_TRUE(window.Quit->isEnabled());
    EXPECT_TRUE(run.Bench.RunEnds.empty());
    EXPECT_FALSE(run.Sim().Bank(1).Verified);

    card.OnOutput = answer;
    window.Timer1Timer();  // the idle step resets the engines
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    ExpectFullyProgrammed(run.Sim(), bundle);
}

TEST(Sequencer, UnansweredProbeAsksForTheButtonAndSynchronisesAnyway)
{
    CardOptions options;
    options.StartInBootLoader = true;
    RunBench run(Transport::Udp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    const Lines lines = run.Bench.RunLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Switch ON device while pushing the ENTER button");
    EXPECT_FALSE(run.Bench.HasLine("Synchronize..."));
    ExpectFullyProgrammed(run.Sim(), bundle);
}

TEST(Sequencer, FailureEscapingAStepEndsTheRunInOrder)
{
    RunBench run;
    WriteUpdateBundle(run.Bench.Dir);
    run.Bench.Dir.Write("script.ini", "prompt boom\r\nprompt never\r\n");
    run.Open();
    TMainFich& window = run.Bench.Window();
    window.GetInstCrt().OnInfo = [](TGestionnaire& engine) { throw std::runtime_error(engine.GetInfoText()); };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes, Lines{"boom\r\n" + run.Path("script.ini")});
    EXPECT_TRUE(window.Timer1->isActive());
    EXPECT_EQ(window.GetDriver().GetConType(), CON_NONE);
}

TEST(Sequencer, OtherScriptNamesEndWithTheClosingLineOnly)
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
    TMainFich& window = run.Bench.Window();

    ASSERT_TRUE(run.Bench.Run(true));
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_TRUE(run.Bench.HasLine("ID Number : 1C0DE0A5"));
    EXPECT_EQ(window.windowTitle(), "Corvane Pelto Updater Device ID : 1234");

    // START runs the argument; its component script has its file name, below the program's folder.
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.RunEnds, std::vector<bool>{true});
    EXPECT_EQ(run.Sim().UserVersion(), "0777");
    EXPECT_EQ(run.Sim().BootArea().Erases, 0u);
    EXPECT_EQ(run.Sim().OptionCode(), "");
    EXPECT_EQ(run.Sim().CurrentMode(), SimulatedCard::Mode::Firmware);
}

TEST(Sequencer, DeviceIdentifierZeroStillAllowsProgramming)
{
    CardOptions options;
    options.DeviceId = 0;
    RunBench run(Transport::Tcp, options);
    const UpdateBundle bundle = WriteUpdateBundle(run.Bench.Dir);
    run.Open();
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_TRUE(HoldsImage(run.Sim().Bank(1), bundle.Bank1));
    EXPECT_EQ(run.Bench.Window().windowTitle(), "Corvane Pelto Updater (Device Id Unknown)");
    EXPECT_EQ(run.Sim().OptionCode(), "0000");
}

TEST(Sequencer, LinkThatCannotOpenEndsTheRun)
{
    AppBench serial;
    serial.Dir.Write("Updater.prm", "CON_TYPE=RS232\nCOM_PORT=COM3\nCOM3=/dev/corvane-missing\n");
    serial.Dir.Write("script.ini", "FI\r\n");
    serial.Open();
    ASSERT_TRUE(serial.Run());
    EXPECT_EQ(serial.Boxes, Lines{"Error while opening COM3 (/dev/corvane-missing)\r\n" + serial.Dir.Path() + "script.ini"});

    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::AnyIPv4, 0));
    AppBench lan;
    lan.Dir.Write("Updater.prm", "CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nLOCAL_PORT=" + std::to_string(taken.localPort()) + "\n");
    lan.Dir.Write("script.ini", "FI\r\n");
    lan.Open();
    ASSERT_TRUE(lan.Run());
    EXPECT_EQ(lan.Boxes, Lines{"Error while opening LAN Device\r\n" + lan.Dir.Path() + "script.ini"});
}

TEST(Sequencer, TcpConnectionStillBeingAttemptedIsNoFailure)
{
    AppBench bench;
    bench.Dir.Write("Updater.prm", "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=1\n");
    bench.Dir.Write("script.ini", "FI\r\n");
    bench.Open();
    bench.Window().StartClick();
    bench.Window().Timer1Timer();
    ASSERT_TRUE(WaitUntil([&] { return bench.HasLine("Switch ON device while pushing the ENTER button"); }));
    EXPECT_TRUE(bench.Boxes.empty());
    EXPECT_TRUE(bench.Window().WaitsOnCard());
    bench.Window().StartClick();
    EXPECT_EQ(bench.Window().GetSeqState(), 0);
}
