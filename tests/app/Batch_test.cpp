// corvane-updater --batch as a process, against corvane-cardsim as a process.
#include "AppBench.h"
#include "CardProcess.h"
#include "ChildProcess.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "textutil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <tuple>

namespace {

using Lines = std::vector<std::string>;

ProcessResult RunUpdater(const TempDir& dir, std::vector<std::string> options = {})
{
    std::vector<std::string> argv = {CORVANE_UPDATER, "--batch", "--app-dir", dir.Path()};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProcess(argv, std::chrono::seconds(60));
}

// Runs the program on a terminal of its own and returns all it wrote there.
std::string RunOnTerminal(const std::vector<std::string>& arguments)
{
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (child > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t count = ::read(master, buffer, sizeof buffer);
        if (count <= 0)
            break;  // the terminal hangs up when the program has ended
        output.append(buffer, static_cast<std::size_t>(count));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(master);
    return output;
}

class BatchUpdate : public ::testing::TestWithParam<Transport> {};

}  // namespace

TEST_P(BatchUpdate, CompletesAFullUpdateConfiguredByTheSettingsFile)
{
    TempDir dir;
    const UpdateBundle bundle = WriteUpdateBundle(dir);
    CardProcess card(GetParam(), dir);
    ASSERT_TRUE(card.Started);
    dir.Write("Updater.prm", "# bench card\n" + card.SettingsText());

    const ProcessResult result = RunUpdater(dir);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(SplitLines(result.Out),
              (Lines{"Synchronize...", "Verify Device Type", "Boot Checksum : E000", "Device ID : AAAA",
                     "Erase Bank0", "Upload Bank0", "Verify Bank0", "Erase Bank1", "Upload Bank1", "Verify Bank1",
                     "Extract MCU ID", "ID Number : 5A", "Extract JTAG Devices ID", "ID Number : 1C0DE0A5", "Ext card",
                     "Program operation completed", "Programmed: bank 0, bank 1, PROM PROM.SVF, boot",
                     "Versions read: T0 0000, T8 0000", "Versions written: V0 0102, V8 0200, UV 0105, OP 0000"}));
    EXPECT_FALSE(Contains(result.Err, "Overall"));  // no progress line unless stderr is a terminal

    const QJsonObject state = card.State();
    EXPECT_TRUE(HoldsImage(AreaOf(state["boot"].toObject()), bundle.Boot));
    const QJsonArray banks = state["banks"].toArray();
    EXPECT_TRUE(HoldsImage(AreaOf(banks[0].toObject()), bundle.Bank0));
    EXPECT_TRUE(HoldsImage(AreaOf(banks[1].toObject()), bundle.Bank1));
    const QByteArray memory =
        QByteArray::fromHex(state["jtag"].toObject()["devices"].toArray()[0].toObject()["memory"].toString().toLatin1());
    EXPECT_EQ(Lines{memory.left(static_cast<qsizetype>(bundle.JtagMemory.size())).toStdString()},
              Lines{std::string(bundle.JtagMemory.begin(), bundle.JtagMemory.end())});
    EXPECT_EQ(state["option_code"].toString(), "0000");
    EXPECT_EQ(state["mode"].toString(), "firmware");

    // Saved as at close: the operator's own lines stay, the link keys are rewritten.
    const std::string saved = ReadFile(dir.Path() + "Updater.prm");
    EXPECT_EQ(saved.rfind("# bench card\n", 0), 0u);
    EXPECT_TRUE(Contains(saved, GetParam() == Transport::Pty ? "COM_PORT=COM4\n" : "COM_PORT=NA\n")) << saved;
}

INSTANTIATE_TEST_SUITE_P(Links, BatchUpdate, ::testing::Values(Transport::Tcp, Transport::Udp, Transport::Pty),
                         [](const auto& info) { return std::string(TransportName(info.param)); });

// Batch mode makes no widget and loads no platform plugin: it runs where there
// is no display at all, also when the environment asks for X11.
TEST(BatchMode, RunsWithNoDisplayAtAll)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    CardProcess card(Transport::Tcp, dir);
    ASSERT_TRUE(card.Started);
    dir.Write("Updater.prm", card.SettingsText());
    const ProcessResult result = RunProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb",
                                             CORVANE_UPDATER, "--batch", "--app-dir", dir.Path()},
                                            std::chrono::seconds(60));
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(Contains(result.Out, "\nProgram operation completed\n")) << result.Out;
}

// Control characters from an update file reach neither the terminal nor the log
// as they are (the JSON report keeps them as JSON escapes); those the card
// sends (ESC among the noise in front of every reply) are line noise and go.
TEST(BatchMode, ControlCharactersFromFilesAreEscapedAndFromTheCardDropped)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    CardProcess card(Transport::Tcp, dir, {"--noise-rate", "1"});
    ASSERT_TRUE(card.Started);
    dir.Write("Updater.prm", card.SettingsText());
    dir.Write("escape.ini", "prompt Title\x1B]0;x\x07 end\r\nD3\r\n");
    const ProcessResult result = RunUpdater(dir, {dir.Path() + "escape.ini"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(Contains(result.Out, "\nTitle\\x1b]0;x\\x07 end\n")) << result.Out;
    EXPECT_TRUE(Contains(result.Out, "\nID Number : 5A\n")) << result.Out;
    EXPECT_FALSE(Contains(result.Out + result.Err, "\x1B")) << result.Out;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "reports")) {
        const std::string text = ReadFile(entry.path());
        if (entry.path().extension() == ".log") {
            EXPECT_TRUE(Contains(text, "  ID Number : 5A\n")) << text;
            EXPECT_FALSE(Contains(text, "\x1B")) << text;
        } else {
            EXPECT_TRUE(Contains(text, "Title\\u001b]0;x\\u0007 end")) << text;
        }
    }
}

// Three cards at once in one process, one of which refuses the erase of bank 1:
// it fails alone, the two others complete and hold exactly their images.
TEST(BatchMode, SeveralPortsUpdateSeveralCardsAtOnce)
{
    TempDir dir;
    const UpdateBundle bundle = WriteUpdateBundle(dir);
    TempDir tcpDir, udpDir, ptyDir;
    CardProcess tcp(Transport::Tcp, tcpDir, {"--refuse", "P1"});
    CardProcess udp(Transport::Udp, udpDir);
    CardProcess pty(Transport::Pty, ptyDir, {"--repeat-rate", "0.05"});
    ASSERT_TRUE(tcp.Started && udp.Started && pty.Started);
    const std::string tcpPort = "tcp://127.0.0.1:" + tcp.Address;
    const std::string udpPort = "udp://127.0.0.1:" + udp.Address + "?local=0";
    const std::string ptyPort = pty.Address;

    const ProcessResult result = RunUpdater(dir, {"--port", tcpPort, "--port", udpPort, "--port", ptyPort});
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(Contains(result.Out, "[" + tcpPort + "] Error while erasing !!!\n")) << result.Out;
    EXPECT_TRUE(Contains(result.Err, "[" + tcpPort + "] Error while erasing !!!\n" + dir.Path() + "MB/script.ini\n"))
        << result.Err;
    for (const std::string& port : {udpPort, ptyPort})
        EXPECT_TRUE(Contains(result.Out, "[" + port + "] Program operation completed\n")) << port;

    // Every line names its card; the summary follows: a heading, one row per card in the order given,
    // then what each run did, the failed one included since it had programmed a bank.
    const Lines lines = SplitLines(result.Out);
    const auto heading = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("PORT ", 0) == 0; });
    ASSERT_GE(lines.end() - heading, 4 + 9) << result.Out;
    for (auto line = lines.begin(); line != lines.end(); ++line) {
        const bool summaryRow = line >= heading && line <= heading + 3;
        EXPECT_TRUE(summaryRow || line->front() == '[') << *line;
    }
    EXPECT_TRUE(Contains(result.Out, "\n[" + tcpPort + "] Programmed: bank 0\n")) << result.Out;
    EXPECT_TRUE(Contains(result.Out, "\n[" + ptyPort + "] Programmed: bank 0, bank 1, PROM PROM.SVF, boot\n")) << result.Out;
    EXPECT_TRUE(Contains(*heading, "DEVICE ID") && Contains(*heading, "RETRANSMISSIONS") &&
                Contains(*heading, "NOISE DROPPED") && Contains(*heading, "MESSAGE"));
    EXPECT_EQ(heading[1].rfind(tcpPort + " ", 0), 0u);
    EXPECT_TRUE(Contains(heading[1], " AAAA ") && Contains(heading[1], " failed ") &&
                Contains(heading[1], "Error while erasing !!!"))
        << heading[1];
    EXPECT_TRUE(Contains(heading[2], " completed ") && Contains(heading[2], "Program operation completed")) << heading[2];
    EXPECT_TRUE(Contains(heading[3], " completed ")) << heading[3];
    EXPECT_NE(heading[3].substr(heading->find("RETRANSMISSIONS"), 2), "0 ")
        << "the noisy line asked for retransmissions: " << heading[3];

    for (CardProcess* card : {&udp, &pty}) {
        const QJsonObject state = card->State();
        EXPECT_TRUE(HoldsImage(AreaOf(state["boot"].toObject()), bundle.Boot));
        EXPECT_TRUE(HoldsImage(AreaOf(state["banks"].toArray()[1].toObject()), bundle.Bank1));
        EXPECT_EQ(state["mode"].toString(), "firmware");
    }
    EXPECT_NE(tcp.State()["mode"].toString(), "firmware");

    // One report per card; the failed card's names its port and its message.
    std::map<std::string, QJsonObject> reports;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "reports"))
        if (entry.path().extension() == ".json") {
            const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(entry.path()))).object();
            reports[report["port"].toString().toStdString()] = report;
        }
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[tcpPort]["result"].toString(), "failed");
    EXPECT_EQ(reports[tcpPort]["message"].toString(), "Error while erasing !!!");
    EXPECT_EQ(reports[udpPort.substr(0, udpPort.find('?'))]["result"].toString(), "completed");
    EXPECT_EQ(reports[ptyPort]["result"].toString(), "completed");
    // The links came from the command line: "Updater.prm" is left alone.
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "Updater.prm"));
}

TEST(BatchMode, PortsThatCannotRunTogetherAreWrongUsage)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    for (const std::vector<std::string>& ports :
         {std::vector<std::string>{"--port", "tcp://127.0.0.1"}, {"--port", "COM1", "--port", "/dev/ttyS0"},
          {"--port", "udp://127.0.0.1:1?local=5", "--port", "udp://127.0.0.1:2?local=5"}}) {
        const ProcessResult result = RunUpdater(dir, ports);
        EXPECT_EQ(result.ExitCode, 2) << ports.back();
        EXPECT_TRUE(Contains(result.Err, "usage: corvane-updater")) << result.Err;
        EXPECT_TRUE(result.Out.empty()) << result.Out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "Updater.prm"));
}

TEST(BatchMode, ManualListAndReadIdChooseWhatRuns)
{
    TempDir dir;
    const UpdateBundle bundle = WriteUpdateBundle(dir);
    dir.Write("readid.ini", "D0\r\n");
    CardProcess card(Transport::Tcp, dir);
    ASSERT_TRUE(card.Started);
    dir.Write("Updater.prm", card.SettingsText());

    const ProcessResult readId = RunUpdater(dir, {"--read-id"});
    EXPECT_EQ(readId.ExitCode, 0) << readId.Err;
    EXPECT_TRUE(Contains(readId.Out, "\nID Number : 5A\nProgram operation completed\n")) << readId.Out;

    const ProcessResult manual = RunUpdater(dir, {"--manual", "MB,PROM1"});
    EXPECT_EQ(manual.ExitCode, 0) << manual.Err;
    EXPECT_FALSE(Contains(manual.Out, "Erase Bank"));
    const QJsonObject state = card.State();
    EXPECT_EQ(state["banks"].toArray()[0].toObject()["erases"].toInt(), 0);
    EXPECT_EQ(state["versions"].toObject()["8"].toString(), "0200");
    EXPECT_FALSE(state["versions"].toObject().contains("0"));
}

// The summary ends with what the run did; a run that programmed nothing says
// so, and why, though it completes.
TEST(BatchMode, SummarySaysWhatWasProgrammedAndWhatWasSkipped)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    dir.Write("update.ini", "CM\r\n");
    dir.Write("MB/update.ini", "P0 BANK0.HEX\r\n");
    CardProcess card(Transport::Tcp, dir);
    ASSERT_TRUE(card.Started);
    dir.Write("Updater.prm", card.SettingsText());

    const ProcessResult nothing = RunUpdater(dir, {"--manual", "", dir.Path() + "update.ini"});
    EXPECT_EQ(nothing.ExitCode, 0) << nothing.Err;
    EXPECT_TRUE(Contains(nothing.Out, "\nProgram operation completed\n"
                                      "Nothing was programmed: every component was skipped (Manual: MB not selected)\n"
                                      "Versions read: none\nVersions written: none\n"))
        << nothing.Out;

    // The main script's closing lines still program the extended boot.
    dir.Write("script.ini", "CM\r\n");
    const ProcessResult bootOnly = RunUpdater(dir, {"--manual", ""});
    EXPECT_EQ(bootOnly.ExitCode, 0) << bootOnly.Err;
    EXPECT_TRUE(Contains(bootOnly.Out, "\nOnly boot programmed: every component was skipped (Manual: MB not selected)\n"
                                       "Versions read: none\nVersions written: OP 0000\n"))
        << bootOnly.Out;

    // Banks, but not the PROM.
    const ProcessResult banks = RunUpdater(dir, {"--manual", "MB,MCU", dir.Path() + "update.ini"});
    EXPECT_EQ(banks.ExitCode, 0) << banks.Err;
    EXPECT_TRUE(Contains(banks.Out, "\nProgrammed: bank 0\nSkipped: PROM1 not selected\n")) << banks.Out;
    EXPECT_EQ(card.State()["banks"].toArray()[0].toObject()["erases"].toInt(), 1);
}

// Batch mode's texts name what batch mode has: no START button, options for the Port menu.
TEST(BatchMode, HintsNameTheOptionsNotTheWindow)
{
    TempDir dir;
    dir.Write("script.ini", "FI\r\n");
    const ProcessResult result = RunUpdater(dir, {"--no-check", "--port", "/dev/corvane-no-such-tty"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(SplitLines(result.Out),
              (Lines{"No such file or directory : /dev/corvane-no-such-tty is not there; plug the adapter in or choose the "
                     "device (--port, --list-ports)",
                     "Error while opening /dev/corvane-no-such-tty"}));
    EXPECT_FALSE(Contains(result.Out + result.Err, "Click on button")) << result.Out;
}

TEST(BatchMode, FailedRunPrintsTheBoxOnStderrAndExits1)
{
    TempDir dir;
    const ProcessResult result = RunUpdater(dir);
    EXPECT_EQ(result.ExitCode, 1);
    const std::string script = dir.Path() + "script.ini";
    EXPECT_EQ(SplitLines(result.Out),
              (Lines{script + " File not found !!!", "Open an update folder: --app-dir DIR, or --app-dir UPDATE.zip for a bundle"}));
    EXPECT_TRUE(Contains(result.Err, script + " File not found !!!\n" + script + "\n")) << result.Err;
    EXPECT_TRUE(Contains(ReadFile(dir.Path() + "Updater.prm"), "CON_TYPE=RS232\n"));
}

// Every run leaves a JSON file and a log, failed runs included; a folder that
// cannot take them costs one line of output and changes nothing else.
TEST(BatchMode, EveryRunLeavesAReport)
{
    TempDir dir;
    const auto filesIn = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().extension().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const ProcessResult standard = RunUpdater(dir);
    EXPECT_EQ(standard.ExitCode, 1);
    ASSERT_EQ(filesIn(dir.Path() + "reports"), (Lines{".json", ".log"}));
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "reports"))
        if (entry.path().extension() == ".json") {
            const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(entry.path()))).object();
            EXPECT_EQ(report["result"].toString(), "failed");
            EXPECT_EQ(report["port"].toString(), "COM1 (/dev/ttyS0)");
        }

    const ProcessResult elsewhere = RunUpdater(dir, {"--report-dir", dir.Path() + "other"});
    EXPECT_EQ(elsewhere.ExitCode, 1);
    EXPECT_EQ(filesIn(dir.Path() + "other"), (Lines{".json", ".log"}));

    dir.Write("file", "");
    const ProcessResult unwritable = RunUpdater(dir, {"--report-dir", dir.Path() + "file/reports"});
    EXPECT_EQ(unwritable.ExitCode, 1);
    const std::string script = dir.Path() + "script.ini";
    EXPECT_EQ(SplitLines(unwritable.Out), (Lines{script + " File not found !!!",
                                                 "Open an update folder: --app-dir DIR, or --app-dir UPDATE.zip for a bundle",
                                                 "Run report not written : " + dir.Path() + "file/reports : Not a directory"}));
}

TEST(BatchMode, WrongUsageExits2WithTheUsage)
{
    for (const std::vector<std::string>& argv : {std::vector<std::string>{CORVANE_UPDATER, "--bogus"},
                                                 {CORVANE_UPDATER, "--timeout", "5"},
                                                 {CORVANE_UPDATER, "--batch", "--manual", "CPU"}}) {
        const ProcessResult result = RunProcess(argv);
        EXPECT_EQ(result.ExitCode, 2) << argv.back();
        EXPECT_TRUE(Contains(result.Err, "usage: corvane-updater")) << result.Err;
        EXPECT_TRUE(result.Out.empty());
    }
    const ProcessResult help = RunProcess({CORVANE_UPDATER, "--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(Contains(help.Out, "--timeout SECONDS"));
}

// A time-out is a failure with its message in every place a failure goes.
TEST(BatchMode, TimeoutFailsARunThatHearsNothing)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    dir.Write("Updater.prm", "CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + std::to_string(UnusedUdpPort()) +
                                 "\nLOCAL_PORT=0\n");
    const ProcessResult result = RunUpdater(dir, {"--timeout", "1"});
    EXPECT_EQ(result.ExitCode, 1);
    // Batch mode has no START button to point to.
    ASSERT_EQ(SplitLines(result.Out).size(), 3u) << result.Out;
    EXPECT_TRUE(StartsWith(SplitLines(result.Out)[0], "No answer from udp://127.0.0.1:")) << result.Out;
    EXPECT_EQ(SplitLines(result.Out)[1], "Switch ON device while pushing the ENTER button");
    EXPECT_EQ(SplitLines(result.Out)[2], "No reply from the card for 1 s");
    EXPECT_TRUE(Contains(result.Err, "No reply from the card for 1 s\n" + dir.Path() + "script.ini\n")) << result.Err;
    EXPECT_TRUE(Contains(ReadFile(dir.Path() + "Updater.prm"), "CON_TYPE=UDP\n"));

    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "reports")) {
        const std::string text = ReadFile(entry.path());
        if (entry.path().extension() == ".json") {
            const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
            EXPECT_EQ(report["result"].toString(), "failed");
            EXPECT_EQ(report["message"].toString(), "No reply from the card for 1 s");
        } else {
            EXPECT_TRUE(Contains(text, "  No reply from the card for 1 s\n")) << text;
            EXPECT_TRUE(Contains(text, "Result      : failed : No reply from the card for 1 s\n")) << text;
        }
    }
}

TEST(BatchMode, ProgressLineOnlyOnATerminal)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    dir.Write("Updater.prm", "CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + std::to_string(UnusedUdpPort()) +
                                 "\nLOCAL_PORT=0\n");
    const std::string screen = RunOnTerminal({CORVANE_UPDATER, "--batch", "--app-dir", dir.Path(), "--timeout", "1"});
    EXPECT_TRUE(Contains(screen, "\r\x1B[KOverall 0%  Operation 0%")) << screen;
    // Erased before each message, so messages start on a clean line.
    EXPECT_TRUE(Contains(screen, "\r\x1B[KNo reply from the card")) << screen;
}

// With several cards the progress line shows each one, by its port.
TEST(BatchMode, ProgressLineOfSeveralCardsShowsEachOne)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    const std::string first = "udp://127.0.0.1:" + std::to_string(UnusedUdpPort()) + "?local=0";
    const std::string second = "udp://127.0.0.1:" + std::to_string(UnusedUdpPort()) + "?local=0";
    const std::string screen = RunOnTerminal(
        {CORVANE_UPDATER, "--batch", "--app-dir", dir.Path(), "--timeout", "1", "--port", first, "--port", second});
    EXPECT_TRUE(Contains(screen, "\r\x1B[K" + first + " 0%  " + second + " 0%")) << screen;
    EXPECT_TRUE(Contains(screen, "[" + first + "] No reply from the card for 1 s\r\n")) << screen;
    // The summary row of a card that timed out says so.
    const std::size_t row = screen.find("\n" + second.substr(0, second.find('?')) + " ");
    ASSERT_NE(row, std::string::npos) << screen;
    const std::string summary = screen.substr(row, screen.find('\n', row + 1) - row);
    EXPECT_TRUE(Contains(summary, " failed ") && Contains(summary, "No reply from the card for 1 s")) << summary;
}

TEST(BatchMode, SignalsStopTheRunAndSaveTheSettings)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        TempDir dir;
        WriteUpdateBundle(dir);
        dir.Write("Updater.prm", "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=1\n");
        ChildProcess updater;
        ASSERT_TRUE(updater.Start({CORVANE_UPDATER, "--batch", "--app-dir", dir.Path()}));
        EXPECT_EQ(updater.ReadLine(), "No connection to tcp://127.0.0.1:1: it was never accepted (Connection refused)");
        EXPECT_EQ(updater.ReadLine(), "Switch ON device while pushing the ENTER button");
        EXPECT_EQ(updater.Stop(signal), 128 + signal);
        EXPECT_TRUE(Contains(updater.Errors(), "Stopped by signal " + std::to_string(signal))) << updater.Errors();
        EXPECT_EQ(ReadFile(dir.Path() + "Updater.prm"),
                  "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=1\nCOM_PORT=NA\nLOCAL_PORT=10500\n");
    }
}

// Installed where its user may not write, the updater keeps its settings per
// user (starting from the folder's own file); a device the user may not open
// names its group. The updater runs as "nobody" when the tests run as root,
// whom permissions do not stop.
TEST(BatchMode, ReadOnlyFolderKeepsSettingsPerUserAndADeniedDeviceSaysHowToGetAccess)
{
    const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    const group* dialout = ::getgrnam("dialout");
    if (nobody == nullptr || dialout == nullptr)
        GTEST_SKIP() << "needs root, the user nobody and the group dialout";
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string device = name;
    const std::string denied = "Permission denied : the user may not open " + device + "; ";
    // The device's own group when its members may read and write it; else the administrator.
    const std::vector<std::tuple<mode_t, gid_t, std::string>> cases{
        {0660, dialout->gr_gid, denied + "the user must be in its group dialout (sudo usermod -aG dialout $USER, then log in again)"},
        {0600, dialout->gr_gid, denied + "ask the administrator for read and write access to it (a udev rule)"},
        {0660, 0, denied + "ask the administrator for read and write access to it (a udev rule)"}};

    for (const auto& [mode, groupId, advice] : cases) {
        SCOPED_TRACE(advice);
        ASSERT_EQ(::fchown(slave, static_cast<uid_t>(-1), groupId), 0);
        ASSERT_EQ(::fchmod(slave, mode), 0);
        TempDir dir;
        const std::string settings = "CON_TYPE=RS232\nCOM_PORT=COM2\nCOM2=" + device + "\n";
        const std::string appDir = dir.Path() + "app/";
        dir.Write("app/script.ini", "FI\r\n");
        dir.Write("app/Updater.prm", settings);
        const std::string config = dir.Path() + "config";
        ASSERT_TRUE(std::filesystem::create_directory(config));
        ASSERT_EQ(::chown(config.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        for (const std::string& path : {dir.Path(), appDir, appDir + "script.ini", appDir + "Updater.prm"})
            std::filesystem::permissions(path, std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                         std::filesystem::perm_options::add);

        const QByteArray configBefore = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config));
        const ProcessResult result = RunProcess({CORVANE_UPDATER, "--batch", "--no-check", "--app-dir", appDir},
                                                std::chrono::seconds(30), {}, static_cast<int>(nobody->pw_uid));
        if (configBefore.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", configBefore);

        EXPECT_EQ(result.ExitCode, 1) << result.Err;
        EXPECT_EQ(SplitLines(result.Out), (Lines{advice, "Error while opening COM2 (" + device + ")"}));
        EXPECT_EQ(ReadFile(appDir + "Updater.prm"), settings);
        EXPECT_EQ(ReadFile(config + "/corvane-pelto-updater/Updater.prm"),
                  settings + "REMOTE_IP=192.168.0.10\nREMOTE_PORT=10500\nLOCAL_PORT=10500\n");
    }
    ::close(master);
    ::close(slave);
}
