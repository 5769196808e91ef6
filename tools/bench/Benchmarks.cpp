#include "Benchmarks.h"

#include "BatchSummary.h"
#include "CardProcess.h"
#include "EffectFileWriter.h"
#include "MeasuredProcess.h"
#include "ParallelFigures.h"
#include "RawClient.h"
#include "TextLineReader.h"
#include "constante.h"
#include "progjtag.h"
#include "textutil.h"

#include <signal.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace constante;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int BankCount = 8;
constexpr char BankFileFormat[] = "bank%s.hex";
constexpr char EmptyScript[] = "empty.ini";
constexpr char PlayScript[] = "play.ini";
constexpr char PlayFile[] = "play.svf";
constexpr char MegabyteScript[] = "play1m.ini";
constexpr char MegabyteFile[] = "play1m.svf";
constexpr char BigScript[] = "playbig.ini";
constexpr char BigFile[] = "playbig.svf";
constexpr char CardProgram[] = "corvane-cardsim";
constexpr char UpdaterProgram[] = "corvane-updater";
constexpr char ToolProgram[] = "corvane-tool";
constexpr char ExampleFolder[] = "example";
constexpr char LocalHost[] = "127.0.0.1";
constexpr char SerialPortUsed[] = "COM1";
constexpr char SilenceLimitSeconds[] = "60";
constexpr std::uint64_t Megabyte = 1'000'000;
constexpr double Percent = 100.0;
constexpr double BytesPerMegabyte = 1024.0 * 1024.0;
constexpr std::chrono::minutes RunLimit{30};
constexpr std::chrono::seconds StopLimit{10};
constexpr std::chrono::seconds IdleSettle{2};

enum class Via { Tcp, PacedPty };

double SecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Megabytes(std::size_t bytes) { return Fixed(static_cast<double>(bytes) / BytesPerMegabyte, 1) + " MiB"; }

std::string Column(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text + ' ' : text + std::string(width - text.size(), ' ');
}

bool WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    return static_cast<bool>(file.flush());
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// One update: the updater runs it from a script, the raw client replays its
// exchanges after synchronisation.
struct Job {
    std::string AppDir;
    std::string Script;
    std::function<bool(RawClient&)> Replay;
};

struct UpdaterRun {
    double Wall = 0.0;     // process start to exit
    double StartUp = 0.0;  // process start to its first status line, just before START
    double Synchronised = 0.0;  // process start to "Device ID"
    double Window = 0.0;   // synchronised ("Device ID") to "Program operation completed"
    double Cpu = 0.0;
    std::size_t PeakMemory = 0;
    CardReport Card;
};

struct RawRun {
    double Window = 0.0;  // synchronised to the acknowledgement of FI
    double Total = 0.0;   // link opened to the acknowledgement of FI
    double Synchronised = 0.0;  // link opened to the device identifier
    double WindowCpu = 0.0;  // the client's own CPU time in the window
    std::uint64_t Lines = 0;  // exchanges in the window
    CardReport Card;
};

double OwnCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One measurement over TCP, updater and raw client, run after run.
struct Side {
    std::vector<double> Updater;  // windows
    std::vector<double> Raw;
    std::vector<double> Wall;
    std::vector<double> StartUp;
    std::vector<double> Cpu;
    std::vector<double> Commands;  // the card's count of the updater's run
    std::vector<double> RawCpu;    // the raw client's CPU seconds per line
    std::size_t PeakMemory = 0;
    std::uint64_t Lines = 0;

    void Add(const UpdaterRun& updater, const RawRun& raw)
    {
        Updater.push_back(updater.Window);
        Raw.push_back(raw.Window);
        Wall.push_back(updater.Wall);
        StartUp.push_back(updater.StartUp);
        Cpu.push_back(updater.Cpu);
        Commands.push_back(static_cast<double>(updater.Card.Commands));
        RawCpu.push_back(raw.WindowCpu / static_cast<double>(raw.Lines));
        PeakMemory = std::max(PeakMemory, updater.PeakMemory);
        Lines = raw.Lines;
    }
    // Each raw run follows its updater run closely: the ratio of each pair is
    // less moved by a change in the machine's load than the ratio of the medians.
    double Ratio() const
    {
        std::vector<double> ratios;
        for (std::size_t run = 0; run < Updater.size() && run < Raw.size(); ++run)
            ratios.push_back(Raw[run] / Updater[run]);
        return Median(ratios);
    }
};

struct TcpFigures {
    Side Upload;
    Side Play;
    std::vector<double> EmptyCpu;
    std::vector<double> EmptyCommands;
    double UploadRatio() const { return Upload.Ratio(); }
    double PlayRatio() const { return Play.Ratio(); }
};

// The paced upload runs in pairs, updater then raw client: one run that the
// machine's load disturbs does not decide the figure, the median of the pairs does.
constexpr int PacedPairs = 3;

struct PacedFigures {
    std::vector<UpdaterRun> Updater;
    std::vector<RawRun> Raw;
    // The updater's run time over the wire time of what its card carried.
    double Ratio() const
    {
        std::vector<double> ratios;
        for (const UpdaterRun& run : Updater)
            ratios.push_back(run.Wall / run.Card.WireSeconds());
        return Median(ratios);
    }
    double RawRatio() const
    {
        std::vector<double> ratios;
        for (const RawRun& run : Raw)
            ratios.push_back(run.Total / run.Card.WireSeconds());
        return Median(ratios);
    }
};

struct CostFigures {
    UpdaterRun Megabyte;
    UpdaterRun Big;
    double IdlePercent = 0.0;
};

double PlayPauseSeconds() { return std::chrono::duration<double>(TProgJtag::DefaultPlayOpenPause).count(); }

class BenchRun {
public:
    BenchRun(const BenchOptions& options, fs::path work) : Options(options), Work(std::move(work)) {}

    bool Run(std::ostream& out, std::string& error);

private:
    bool Prepare(std::string& error);
    bool MeasureOverTcp(TcpFigures& figures, std::string& error);
    bool MeasurePaced(PacedFigures& figures, std::string& error);
    bool MeasureCost(CostFigures& figures, std::string& error);
    bool MeasureParallel(std::vector<ParallelRun>& runs, std::string& error);
    bool ParallelOnce(int count, ParallelRun& run, std::string& error);
    bool AllCompleted(const MeasuredProcess& updater, const std::vector<std::unique_ptr<CardProcess>>& cards,
                      std::string& error) const;
    bool CardHoldsUpdate(int index, std::string& error) const;
    std::string CardStatePath(int index) const;
    bool UpdaterOnce(const Job& job, Via via, UpdaterRun& run, std::string& error);
    bool RawOnce(const Job& job, Via via, RawRun& run, std::string& error);
    bool Idle(double& cpuPercent, std::string& error);
    bool ReplayUpload(RawClient& client) const;
    Job PlayJob(const char* script) const;
    void PrintUpload(std::ostream& out, const TcpFigures& tcp) const;
    void PrintPaced(std::ostream& out, const PacedFigures& paced) const;
    void PrintPlay(std::ostream& out, const TcpFigures& tcp) const;
    void PrintCost(std::ostream& out, const TcpFigures& tcp, const CostFigures& cost) const;
    void PrintParallel(std::ostream& out, const std::vector<ParallelRun>& runs) const;
    bool WithParallel() const { return Options.Paced && !Options.ParallelCards.empty(); }
    int MostCards() const;
    std::string Program(const char* name) const { return (fs::path(Options.BinDir) / name).string(); }
    static std::vector<std::string> CardLinkOptions(Via via);
    static std::string SettingsFor(Via via, const std::string& address);
    std::vector<std::string> Environment() const;

    const BenchOptions& Options;
    fs::path Work;
    fs::path UploadDir;
    fs::path PlayDir;
    fs::path ExampleDir;
    std::vector<std::vector<std::string>> Banks;
    std::vector<std::string> Boot;
    std::vector<PlayRecord> PlayRecords;
    EffectFileSize PlaySize;
    EffectFileSize MegabyteSize;
    EffectFileSize BigSize;
};

bool BenchRun::Prepare(std::string& error)
{
    const fs::path examples = Options.ExamplesDir;
    UploadDir = Work / "upload";
    PlayDir = Work / "play";
    ExampleDir = Work / ExampleFolder;
    std::error_code failure;
    fs::create_directories(Work / "runtime", failure);
    ::chmod((Work / "runtime").c_str(), S_IRWXU);
    // The cards at once run the whole example, as an operator would.
    fs::copy(examples, ExampleDir, fs::copy_options::recursive, failure);
    if (failure || !fs::exists(ExampleDir / MainScriptName)) {
        error = "cannot read " + (examples / MainScriptName).string();
        return false;
    }
    if (Options.ParallelOnly)
        return true;
    fs::create_directories(UploadDir / MotherboardFolder, failure);
    fs::create_directories(PlayDir, failure);

    // The example's eight banks through a component script, as the example runs
    // them; a script named script.ini ends with the boot image, the option code and FI.
    std::string bankLines;
    Banks.resize(BankCount);
    for (int bank = 0; bank < BankCount; ++bank) {
        const std::string name = FormatText(BankFileFormat, std::to_string(bank));
        fs::copy_file(examples / MotherboardFolder / name, UploadDir / MotherboardFolder / name, failure);
        if (failure || !LoadTextLines((UploadDir / MotherboardFolder / name).string(), Banks[bank])) {
            error = "cannot read " + (examples / MotherboardFolder / name).string();
            return false;
        }
        bankLines += CmdProgram + std::to_string(bank) + ' ' + name + '\n';
    }
    fs::copy_file(examples / BootOptionFile, UploadDir / BootOptionFile, failure);
    if (failure || !LoadTextLines((UploadDir / BootOptionFile).string(), Boot)) {
        error = "cannot read " + (examples / BootOptionFile).string();
        return false;
    }
    const std::string play = std::string(CmdProgram) + JtagSelector + ' ';
    if (!WriteFile(UploadDir / MainScriptName, std::string(PrefixMotherboard) + '\n') ||
        !WriteFile(UploadDir / MotherboardFolder / MainScriptName, bankLines) ||
        !WriteFile(UploadDir / EmptyScript, std::string(Remark) + " no operation: start-up, probe, synchronisation, FI\n") ||
        !WriteFile(PlayDir / PlayScript, play + PlayFile + '\n') ||
        !WriteFile(PlayDir / MegabyteScript, play + MegabyteFile + '\n') ||
        !WriteFile(PlayDir / BigScript, play + BigFile + '\n')) {
        error = "cannot write the program folders in " + Work.string();
        return false;
    }
    if (!WriteEffectFile((PlayDir / PlayFile).string(), Options.PlayStatements, 0, PlaySize) ||
        !WriteEffectFile((PlayDir / MegabyteFile).string(), 0, Megabyte, MegabyteSize, EffectGroups::Wide) ||
        (Options.BigFileBytes > 0 &&
         !WriteEffectFile((PlayDir / BigFile).string(), 0, Options.BigFileBytes, BigSize, EffectGroups::Wide))) {
        error = "cannot write the effect files in " + PlayDir.string();
        return false;
    }
    return TranslateEffectFile((PlayDir / PlayFile).string(), PlayRecords, error);
}

std::vector<std::string> BenchRun::CardLinkOptions(Via via)
{
    if (via == Via::Tcp)
        return {"--tcp", "0"};
    return {"--pty", "--baud-pacing"};
}

std::string BenchRun::SettingsFor(Via via, const std::string& address)
{
    if (via == Via::Tcp)
        return std::string(KeyConType) + '=' + ConTypeTcp + '\n' + KeyRemoteIp + '=' + LocalHost + '\n' + KeyRemotePort +
               '=' + address + '\n';
    return std::string(KeyConType) + '=' + ConTypeRs232 + '\n' + KeyComPort + '=' + SerialPortUsed + '\n' +
           SerialPortUsed + '=' + address + '\n';
}

std::vector<std::string> BenchRun::Environment() const
{
    return {"XDG_RUNTIME_DIR=" + (Work / "runtime").string()};
}

bool BenchRun::UpdaterOnce(const Job& job, Via via, UpdaterRun& run, std::string& error)
{
    CardProcess card;
    if (!card.Start(Program(CardProgram), CardLinkOptions(via), (Work / "card.json").string(), error))
        return false;
    if (!WriteFile(fs::path(job.AppDir) / SettingsFile, SettingsFor(via, card.Address()))) {
        error = "cannot write " + (fs::path(job.AppDir) / SettingsFile).string();
        return false;
    }
    MeasuredProcess updater;
    const bool started =
        updater.Start({Program(UpdaterProgram), "--batch", "--app-dir", job.AppDir, "--timeout", SilenceLimitSeconds,
                       (fs::path(job.AppDir) / job.Script).string()},
                      Environment());
    const bool ended = started && updater.Finish(RunLimit);
    std::string cardError;
    const bool stopped = card.Stop(run.Card, cardError);
    if (!ended || updater.ExitCode() != 0) {
        error = job.Script + ": corvane-updater failed (exit code " + std::to_string(updater.ExitCode()) +
                "): " + updater.Errors();
        return false;
    }
    if (!stopped) {
        error = cardError;
        return false;
    }
    const std::vector<MeasuredProcess::Line>& lines = updater.Lines();
    const std::string synchronised = FormatText(InfoDeviceIdFormat, "");
    const auto sync = std::find_if(lines.begin(), lines.end(),
                                   [&](const MeasuredProcess::Line& line) { return StartsWith(line.Text, synchronised); });
    const auto done = std::find_if(lines.begin(), lines.end(),
                                   [](const MeasuredProcess::Line& line) { return line.Text == OperationCompleted; });
    if (sync == lines.end() || done == lines.end()) {
        error = job.Script + ": the updater's status lines lack \"" + synchronised + "\" or \"" +
                OperationCompleted + "\"";
        return false;
    }
    run.Wall = SecondsBetween(updater.Started(), updater.Ended());
    run.StartUp = SecondsBetween(updater.Started(), lines.front().At);
    run.Synchronised = SecondsBetween(updater.Started(), sync->At);
    run.Window = SecondsBetween(sync->At, done->At);
    run.Cpu = updater.CpuSeconds();
    run.PeakMemory = updater.PeakMemory();
    return true;
}

bool BenchRun::RawOnce(const Job& job, Via via, RawRun& run, std::string& error)
{
    CardProcess card;
    if (!card.Start(Program(CardProgram), CardLinkOptions(via), (Work / "card.json").string(), error))
        return false;
    bool done = false;
    {
        RawLink link;
        const Clock::time_point opened = Clock::now();
        const std::uint16_t port = static_cast<std::uint16_t>(std::strtoul(card.Address().c_str(), nullptr, 10));
        done = via == Via::Tcp ? link.ConnectTcp(port, error) : link.OpenSerial(card.Address(), VarPhaseBaud, error);
        RawClient client(link);
        done = done && client.HandOver() && (via == Via::Tcp || link.SetBaud(RawPhaseBaud)) && client.Synchronise();
        const Clock::time_point synchronised = Clock::now();
        const double cpuBefore = OwnCpuSeconds();
        const std::uint64_t before = client.Exchanges();
        done = done && job.Replay(client);
        const Clock::time_point finished = Clock::now();
        run.WindowCpu = OwnCpuSeconds() - cpuBefore;
        if (!done && error.empty())
            error = job.Script + ": raw client: " + client.Failure();
        run.Window = SecondsBetween(synchronised, finished);
        run.Total = SecondsBetween(opened, finished);
        run.Synchronised = SecondsBetween(opened, synchronised);
        run.Lines = client.Exchanges() - before;
    }
    std::string cardError;
    const bool stopped = card.Stop(run.Card, cardError);
    if (done && !stopped)
        error = cardError;
    return done && stopped;
}

// The window, offscreen, between runs: its timer ticks every 500 ms.
bool BenchRun::Idle(double& cpuPercent, std::string& error)
{
    std::vector<std::string> environment = Environment();
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    MeasuredProcess updater;
    if (!updater.Start({Program(UpdaterProgram), "--app-dir", UploadDir.string()}, environment)) {
        error = "corvane-updater does not start";
        return false;
    }
    std::this_thread::sleep_for(IdleSettle);
    const double before = updater.CpuSecondsNow();
    const Clock::time_point from = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(Options.IdleSeconds));
    const double after = updater.CpuSecondsNow();
    const Clock::time_point to = Clock::now();
    updater.Signal(SIGTERM);
    if (!updater.Finish(StopLimit) || updater.ExitCode() != 128 + SIGTERM) {
        error = "the idle window ended by itself (exit code " + std::to_string(updater.ExitCode()) + "): " + updater.Errors();
        return false;
    }
    cpuPercent = (after - before) / SecondsBetween(from, to) * Percent;
    return true;
}

bool BenchRun::Run(std::ostream& out, std::string& error)
{
    if (!Prepare(error))
        return false;
    const std::string load = "load average " + LoadAverage() + " at start, " +
                             std::to_string(std::thread::hardware_concurrency()) + " processors.\n";
    if (Options.ParallelOnly)
        out << "Corvane Pelto Updater benchmark, several cards at once only: " << load << '\n';
    else
        out << "Corvane Pelto Updater benchmark: medians of " << Options.Repeat << " runs, " << load
            << "The updater (corvane-updater --batch) and the raw client (no engines, no window) take turns,\n"
            << "each against a fresh corvane-cardsim. Window: from synchronised (\"Device ID\") to \""
            << OperationCompleted << "\".\n\n";
    TcpFigures tcp;
    PacedFigures paced;
    CostFigures cost;
    std::vector<ParallelRun> parallel;
    if (!Options.ParallelOnly) {
        std::cerr << "corvane-bench: upload and play over TCP...\n";
        if (!MeasureOverTcp(tcp, error))
            return false;
        std::cerr << (Options.Paced ? "corvane-bench: upload at the real baud rates...\n" : "");
        if (Options.Paced && !MeasurePaced(paced, error))
            return false;
        std::cerr << "corvane-bench: big effect files, idle window...\n";
        if (!MeasureCost(cost, error))
            return false;
    }
    if (WithParallel() && !MeasureParallel(parallel, error))
        return false;
    if (!Options.ParallelOnly) {
        PrintUpload(out, tcp);
        PrintPaced(out, paced);
        PrintPlay(out, tcp);
        PrintCost(out, tcp, cost);
    }
    PrintParallel(out, parallel);
    const bool tcpRun = !Options.ParallelOnly;
    const bool pacedRun = tcpRun && Options.Paced;
    out << "ratios: upload=" << (tcpRun ? Fixed(tcp.UploadRatio(), 2) : "-")
        << " pty=" << (pacedRun ? Fixed(paced.Ratio(), 3) : "-") << " jtag=" << (tcpRun ? Fixed(tcp.PlayRatio(), 2) : "-")
        << " parallel" << MostCards() << '='
        << (WithParallel() ? Fixed(ParallelRatio(parallel, MostCards()), 3) : "-") << '\n';
    return true;
}

// The updater and the raw client take turns, so that the machine's load weighs
// on both alike; a run without lines gives the fixed cost of a run.
bool BenchRun::MeasureOverTcp(TcpFigures& figures, std::string& error)
{
    const Job upload{UploadDir.string(), MainScriptName, [this](RawClient& client) { return ReplayUpload(client); }};
    const Job play = PlayJob(PlayScript);
    const Job empty{UploadDir.string(), EmptyScript, [](RawClient& client) { return client.Command(CmdFinish); }};
    for (int repeat = 0; repeat < Options.Repeat; ++repeat) {
        UpdaterRun updater;
        RawRun raw;
        if (!UpdaterOnce(upload, Via::Tcp, updater, error) || !RawOnce(upload, Via::Tcp, raw, error))
            return false;
        figures.Upload.Add(updater, raw);
        if (!UpdaterOnce(play, Via::Tcp, updater, error) || !RawOnce(play, Via::Tcp, raw, error))
            return false;
        updater.Window -= PlayPauseSeconds();
        figures.Play.Add(updater, raw);
        if (!UpdaterOnce(empty, Via::Tcp, updater, error))
            return false;
        figures.EmptyCpu.push_back(updater.Cpu);
        figures.EmptyCommands.push_back(static_cast<double>(updater.Card.Commands));
    }
    return true;
}

bool BenchRun::MeasurePaced(PacedFigures& figures, std::string& error)
{
    const Job upload{UploadDir.string(), MainScriptName, [this](RawClient& client) { return ReplayUpload(client); }};
    for (int pair = 0; pair < PacedPairs; ++pair) {
        UpdaterRun updater;
        RawRun raw;
        if (!UpdaterOnce(upload, Via::PacedPty, updater, error) || !RawOnce(upload, Via::PacedPty, raw, error))
            return false;
        figures.Updater.push_back(updater);
        figures.Raw.push_back(raw);
    }
    return true;
}

bool BenchRun::MeasureCost(CostFigures& figures, std::string& error)
{
    return UpdaterOnce(PlayJob(MegabyteScript), Via::Tcp, figures.Megabyte, error) &&
           (Options.BigFileBytes == 0 || UpdaterOnce(PlayJob(BigScript), Via::Tcp, figures.Big, error)) &&
           Idle(figures.IdlePercent, error);
}

bool BenchRun::MeasureParallel(std::vector<ParallelRun>& runs, std::string& error)
{
    for (const int cards : ParallelRunOrder(Options.ParallelCards)) {
        std::cerr << "corvane-bench: " << cards << (cards == 1 ? " card" : " cards")
                  << " at once at the real baud rates...\n";
        ParallelRun run;
        if (!ParallelOnce(cards, run, error))
            return false;
        runs.push_back(run);
    }
    return true;
}

// One updater process, one --port per card; a run counts only when every card
// completed and holds exactly what the example writes.
bool BenchRun::ParallelOnce(int count, ParallelRun& run, std::string& error)
{
    std::vector<std::unique_ptr<CardProcess>> cards;
    std::vector<std::string> argv = {Program(UpdaterProgram), "--batch", "--app-dir", ExampleDir.string(), "--timeout",
                                     SilenceLimitSeconds};
    for (int index = 0; index < count; ++index) {
        cards.push_back(std::make_unique<CardProcess>());
        if (!cards.back()->Start(Program(CardProgram), CardLinkOptions(Via::PacedPty), CardStatePath(index), error))
            return false;
        argv.insert(argv.end(), {"--port", cards.back()->Address()});
    }
    MeasuredProcess updater;
    const bool ended = updater.Start(argv, Environment()) && updater.Finish(RunLimit);
    bool stopped = true;
    std::string cardError;
    for (const std::unique_ptr<CardProcess>& card : cards) {
        CardReport report;
        stopped = card->Stop(report, cardError) && stopped;
        run.WireSeconds = std::max(run.WireSeconds, report.WireSeconds());
    }
    const std::string what = std::to_string(count) + " cards at once: ";
    if (!ended || updater.ExitCode() != 0) {
        error = what + "corvane-updater failed (exit code " + std::to_string(updater.ExitCode()) + "): " + updater.Errors();
        return false;
    }
    if (!stopped) {
        error = what + cardError;
        return false;
    }
    if (count > 1 && !AllCompleted(updater, cards, error)) {
        error = what + error;
        return false;
    }
    for (int index = 0; index < count; ++index)
        if (!CardHoldsUpdate(index, error)) {
            error = what + error;
            return false;
        }
    run.Cards = count;
    run.Wall = SecondsBetween(updater.Started(), updater.Ended());
    run.Cpu = updater.CpuSeconds();
    run.PeakMemory = updater.PeakMemory();
    return true;
}

bool BenchRun::AllCompleted(const MeasuredProcess& updater, const std::vector<std::unique_ptr<CardProcess>>& cards,
                            std::string& error) const
{
    std::vector<std::string> lines;
    for (const MeasuredProcess::Line& line : updater.Lines())
        lines.push_back(line.Text);
    std::vector<BatchSummaryRow> rows;
    if (!ParseBatchSummary(lines, rows) || rows.size() != cards.size()) {
        error = "the updater printed no summary of " + std::to_string(cards.size()) + " rows";
        return false;
    }
    for (std::size_t index = 0; index < rows.size(); ++index)
        if (rows[index].Port != cards[index]->Address() || rows[index].Result != SummaryCompleted) {
            error = "the summary's row " + std::to_string(index + 1) + " reads " + rows[index].Port + ' ' +
                    rows[index].Result + " for " + cards[index]->Address();
            return false;
        }
    return true;
}

bool BenchRun::CardHoldsUpdate(int index, std::string& error) const
{
    MeasuredProcess check;
    const bool ended = check.Start({Program(ToolProgram), "check", CardStatePath(index), ExampleDir.string()}) &&
                       check.Finish(StopLimit);
    if (ended && check.ExitCode() == 0)
        return true;
    error = "card " + std::to_string(index + 1) + " does not hold the update (corvane-tool check):";
    for (const MeasuredProcess::Line& line : check.Lines())
        if (line.Text.find("MISMATCH") != std::string::npos)
            error += "\n  " + line.Text;
    error += check.Errors();
    return false;
}

std::string BenchRun::CardStatePath(int index) const
{
    return (Work / ("card-" + std::to_string(index + 1) + ".json")).string();
}

// The largest count, which names the ratio; the default's when the runs are left out.
int BenchRun::MostCards() const
{
    const std::vector<int> counts = Options.ParallelCards.empty() ? BenchOptions().ParallelCards : Options.ParallelCards;
    return *std::max_element(counts.begin(), counts.end());
}

bool BenchRun::ReplayUpload(RawClient& client) const
{
    for (int bank = 0; bank < BankCount; ++bank) {
        const bool low = bank == 0;
        if (!client.Upload(CmdProgram + std::to_string(bank), Banks[static_cast<std::size_t>(bank)],
                           low ? LowBankFirst : HighBankFirst, low ? LowBankLast : HighBankLast))
            return false;
    }
    return client.Upload(CmdBootUpload, Boot, ExtendedBootFirst, ExtendedBootLast) &&
           client.WriteText(CmdOption, DefaultOptionCode) && client.Command(CmdFinish);
}

Job BenchRun::PlayJob(const char* script) const
{
    return {PlayDir.string(), script, [this](RawClient& client) { return client.Play(PlayRecords) && client.Command(CmdFinish); }};
}

void BenchRun::PrintUpload(std::ostream& out, const TcpFigures& tcp) const
{
    const Side& upload = tcp.Upload;
    out << "1. Upload over TCP on 127.0.0.1, no pacing: the example's 8 banks and boot image, " << upload.Lines
        << " lines exchanged\n"
        << "   " << Column("", 28) << Column("window", 12) << "lines/s\n"
        << "   " << Column("updater", 28) << Column(Fixed(Median(upload.Updater), 3) + " s", 12)
        << Fixed(static_cast<double>(upload.Lines) / Median(upload.Updater), 0) << '\n'
        << "   " << Column("raw client", 28) << Column(Fixed(Median(upload.Raw), 3) + " s", 12)
        << Fixed(static_cast<double>(upload.Lines) / Median(upload.Raw), 0) << '\n'
        << "   " << Column("ratio updater/raw, run by run", 40) << Fixed(tcp.UploadRatio(), 2) << '\n'
        << "   outside the window: the updater's whole run " << Fixed(Median(upload.Wall), 3)
        << " s, of which start-up " << Fixed(Median(upload.StartUp), 3) << " s (process start to START)\n\n";
}

void BenchRun::PrintPaced(std::ostream& out, const PacedFigures& paced) const
{
    if (!Options.Paced) {
        out << "2. Pseudo-terminal with --baud-pacing: left out (--no-paced)\n\n";
        return;
    }
    const auto row = [&out](const std::string& who, double run, const CardReport& card) {
        const auto bytes = [&card](std::uint32_t baud) {
            const auto at = card.Traffic.find(baud);
            return at == card.Traffic.end() ? std::uint64_t{0} : at->second.FromPc + at->second.ToPc;
        };
        out << "   " << Column(who, 28) << Column(Fixed(run, 3) + " s", 12) << Column(Fixed(card.WireSeconds(), 3) + " s", 12)
            << Column(std::to_string(bytes(VarPhaseBaud)) + " / " + std::to_string(bytes(RawPhaseBaud)), 26)
            << Fixed(run / card.WireSeconds(), 3) << '\n';
    };
    out << "2. The same upload over a pseudo-terminal with --baud-pacing (probe at " << VarPhaseBaud
        << " baud, programming at " << RawPhaseBaud << "), " << PacedPairs << " pairs in turn\n"
        << "   " << Column("", 28) << Column("run time", 12) << Column("wire time", 12)
        << Column("bytes at " + std::to_string(VarPhaseBaud) + " / " + std::to_string(RawPhaseBaud), 26) << "run/wire\n";
    std::vector<double> synchronised;
    std::vector<double> startUp;
    std::vector<double> rawSynchronised;
    for (std::size_t pair = 0; pair < paced.Updater.size() && pair < paced.Raw.size(); ++pair) {
        const std::string number = " " + std::to_string(pair + 1);
        row("updater" + number, paced.Updater[pair].Wall, paced.Updater[pair].Card);
        row("raw client" + number, paced.Raw[pair].Total, paced.Raw[pair].Card);
        synchronised.push_back(paced.Updater[pair].Synchronised);
        startUp.push_back(paced.Updater[pair].StartUp);
        rawSynchronised.push_back(paced.Raw[pair].Synchronised);
    }
    out << "   " << Column("median run/wire", 66) << "updater " << Fixed(paced.Ratio(), 3) << ", raw client "
        << Fixed(paced.RawRatio(), 3) << '\n'
        << "   run time: the updater's process start to exit; the raw client's from opening the line to\n"
        << "   the acknowledgement of FI. Wire time: every byte both ways, 10 bits each, at the baud rate of\n"
        << "   its phase. Synchronised after " << Fixed(Median(synchronised), 3) << " s (updater: start-up "
        << Fixed(Median(startUp), 3) << " s, then the probe on its timer ticks) and "
        << Fixed(Median(rawSynchronised), 3) << " s (raw client), medians.\n\n";
}

void BenchRun::PrintPlay(std::ostream& out, const TcpFigures& tcp) const
{
    const Side& play = tcp.Play;
    const double statements = static_cast<double>(PlayRecords.size());
    out << "3. Effect-file play over TCP: " << PlayRecords.size() << " statements (SIR, fill and streamed SDR, TDO"
        << " compares), " << play.Lines << " lines exchanged\n"
        << "   " << Column("", 28) << Column("window", 12) << "statements/s\n"
        << "   " << Column("updater", 28) << Column(Fixed(Median(play.Updater), 3) + " s", 12)
        << Fixed(statements / Median(play.Updater), 0) << '\n'
        << "   " << Column("raw client", 28) << Column(Fixed(Median(play.Raw), 3) + " s", 12)
        << Fixed(statements / Median(play.Raw), 0) << '\n'
        << "   " << Column("ratio updater/raw, run by run", 40) << Fixed(tcp.PlayRatio(), 2) << '\n'
        << "   the updater's window leaves out the engine's fixed " << Fixed(PlayPauseSeconds() * 1000, 0)
        << " ms pause when a play opens\n\n";
}

void BenchRun::PrintCost(std::ostream& out, const TcpFigures& tcp, const CostFigures& cost) const
{
    const double fixedCpu = Median(tcp.EmptyCpu);
    // CPU milliseconds per 1000 lines, the run without lines taken off.
    const auto perThousand = [&](const Side& side) {
        return (Median(side.Cpu) - fixedCpu) / (Median(side.Commands) - Median(tcp.EmptyCommands)) * 1e6;
    };
    const auto file = [&](const EffectFileSize& size, const UpdaterRun& run) {
        out << "   " << Column("effect file of " + Fixed(static_cast<double>(size.Bytes) / Megabyte, 1) + " MB", 34)
            << "peak " << Megabytes(run.PeakMemory) << ", " << size.Statements << " statements in "
            << Fixed(run.Window - PlayPauseSeconds(), 1) << " s\n";
    };
    out << "4. The updater's own cost (user + system CPU and peak resident memory from wait4)\n"
        << "   " << Column("CPU per 1000 lines", 34) << "upload " << Fixed(perThousand(tcp.Upload), 2) << " ms, play "
        << Fixed(perThousand(tcp.Play), 2) << " ms (a run without lines, " << Fixed(fixedCpu * 1000, 0)
        << " ms, taken off)\n"
        << "   " << Column("raw client, the same", 34) << "upload " << Fixed(Median(tcp.Upload.RawCpu) * 1e6, 2)
        << " ms, play " << Fixed(Median(tcp.Play.RawCpu) * 1e6, 2) << " ms\n"
        << "   " << Column("peak memory", 34) << "upload " << Megabytes(tcp.Upload.PeakMemory) << ", play "
        << Megabytes(tcp.Play.PeakMemory) << '\n'
        << "   effect files of long statements (512-bit scans with TDO and MASK), played over TCP:\n";
    file(MegabyteSize, cost.Megabyte);
    if (Options.BigFileBytes > 0)
        file(BigSize, cost.Big);
    else
        out << "   effect file of 100 MB: left out (--big-file 0)\n";
    // The kernel counts CPU time in clock ticks: less than one tick in the sample reads as nothing.
    const double tickPercent = Percent / static_cast<double>(::sysconf(_SC_CLK_TCK)) / Options.IdleSeconds;
    out << "   " << Column("idle " + std::to_string(Options.IdleSeconds) + " s (window, offscreen)", 34) << "CPU "
        << (cost.IdlePercent > 0.0 ? Fixed(cost.IdlePercent, 2) + " %" : "below " + Fixed(tickPercent, 2) + " % (one clock tick)")
        << "\n\n";
}

void BenchRun::PrintParallel(std::ostream& out, const std::vector<ParallelRun>& runs) const
{
    const std::string number = Options.ParallelOnly ? "1" : "5";
    if (!WithParallel()) {
        out << number << ". Several cards at once: left out (" << (Options.Paced ? "--no-parallel" : "--no-paced")
            << ")\n\n";
        return;
    }
    out << number << ". Several cards at once: the whole example (8 banks, PROM 1 over JTAG, the extension board, boot\n"
        << "   image) on paced pseudo-terminals, all cards in one corvane-updater --batch --port ... --port ...\n"
        << "   " << Column("cards", 8) << Column("run time", 12) << Column("wire time", 12) << Column("run/one card", 15)
        << Column("CPU per card", 15) << "peak memory\n";
    for (const ParallelRun& run : runs)
        out << "   " << Column(std::to_string(run.Cards), 8) << Column(Fixed(run.Wall, 3) + " s", 12)
            << Column(Fixed(run.WireSeconds, 3) + " s", 12) << Column(Fixed(run.Wall / OneCardWall(runs), 3), 15)
            << Column(Fixed(run.CpuPerCard() * 1000, 0) + " ms", 15) << Megabytes(run.PeakMemory) << '\n';
    out << "   run time: the updater's process start to exit, every card completed and checked with\n"
        << "   corvane-tool check; wire time: the busiest card's; one card runs first and last, and their\n"
        << "   mean (" << Fixed(OneCardWall(runs), 3) << " s) is the reference. CPU: the updater's user + system time.\n\n";
}

}  // namespace

bool RunBenchmarks(const BenchOptions& options, std::ostream& out, std::string& error)
{
    std::string pattern = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a work folder in " + fs::temp_directory_path().string();
        return false;
    }
    const fs::path work = pattern;
    const bool done = BenchRun(options, work).Run(out, error);
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return done;
}
