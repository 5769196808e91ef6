#include "BundleRun.h"

#include "CardStateFile.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr char UpdaterTimeoutSeconds[] = "20";
constexpr auto UpdaterDeadline = std::chrono::seconds(90);

}  // namespace

BundleRun::BundleRun(const std::vector<std::string>& cardOptions) : StatePath(Dir.Path() + "card.json")
{
    fs::copy(CORVANE_EXAMPLES_DIR, Dir.Path() + "update", fs::copy_options::recursive);
    fs::create_directories(Dir.Path() + "bundles");
    fs::create_directories(Dir.Path() + "tmp");
    fs::create_directories(Dir.Path() + "config");
    // Qt makes its runtime folder in the temporary folder unless it is given one.
    fs::create_directories(Dir.Path() + "runtime");
    fs::permissions(Dir.Path() + "runtime", fs::perms::owner_all);
    std::vector<std::string> argv = {CORVANE_CARDSIM, "--tcp", "0", "--state", StatePath};
    argv.insert(argv.end(), cardOptions.begin(), cardOptions.end());
    if (Card.Start(argv))
        CardPort = Card.ReadLine();
}

std::string BundleRun::MakeBundle(const std::string& name, const std::string& secretKey)
{
    std::vector<std::string> argv = {CORVANE_TOOL, "bundle", Dir.Path() + "update", BundlePath(name)};
    if (!secretKey.empty())
        argv.insert(argv.end(), {"--sign", secretKey});
    const ProcessResult made = RunProcess(argv);
    EXPECT_EQ(made.ExitCode, 0) << made.Out << made.Err;
    return BundlePath(name);
}

std::vector<std::string> BundleRun::Program(const std::vector<std::string>& argv) const
{
    std::vector<std::string> command = {"/usr/bin/env", "TMPDIR=" + Dir.Path() + "tmp",
                                        "XDG_CONFIG_HOME=" + Dir.Path() + "config",
                                        "XDG_RUNTIME_DIR=" + Dir.Path() + "runtime"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

void BundleRun::WriteUserSettings() const
{
    Dir.Write("config/corvane-pelto-updater/Updater.prm",
              "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + CardPort + "\n");
}

ProcessResult BundleRun::Update(const std::string& bundle, const std::vector<std::string>& options, bool port)
{
    std::vector<std::string> argv = {CORVANE_UPDATER, "--batch", "--app-dir", bundle, "--timeout", UpdaterTimeoutSeconds};
    if (port)
        argv.insert(argv.end(), {"--port", PortText()});
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProcess(Program(argv), UpdaterDeadline);
}

long long BundleRun::BytesTheCardReceived()
{
    Card.Stop(SIGTERM);
    return BytesFromPcInState(StatePath);
}

ProcessResult BundleRun::Check()
{
    Card.Stop(SIGTERM);
    return RunProcess({CORVANE_TOOL, "check", StatePath, Dir.Path() + "update"});
}

bool BundleRun::TemporaryFolderEmpty() const { return fs::is_empty(Dir.Path() + "tmp"); }

std::vector<std::string> BundleRun::FilesIn(const std::string& folder) const
{
    std::vector<std::string> files;
    std::error_code ignored;
    for (fs::recursive_directory_iterator entry(folder, ignored), end; entry != end; entry.increment(ignored))
        files.push_back(fs::relative(entry->path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

