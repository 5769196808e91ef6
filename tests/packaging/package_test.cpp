// The Debian package made from this build tree, as an operator receives it:
// built by CPack, unpacked by dpkg-deb into a temporary root, and its programs
// run from where they land there, with the system's Qt.
#include "ChildProcess.h"
#include "FindProgram.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr auto CpackDeadline = std::chrono::seconds(120);
constexpr auto UpdateDeadline = std::chrono::seconds(90);
constexpr char UpdaterTimeoutSeconds[] = "20";

const std::string PackageName = "corvane-pelto-updater";
const std::string DocDir = "usr/share/doc/" + PackageName + "/";
const std::string ManDir = "usr/share/man/man1/";
const std::string DesktopEntry = "usr/share/applications/" + PackageName + ".desktop";
const std::string IconDir = "usr/share/icons/hicolor/scalable/apps/";
const std::vector<std::string> Programs = {"corvane-updater", "corvane-tool", "corvane-cardsim"};

std::string Describe(const ProcessResult& result)
{
    return "exit " + std::to_string(result.ExitCode) + (result.TimedOut ? " (timed out)" : "") + "\n" + result.Out +
           result.Err;
}

// The value of KEY=VALUE in a desktop entry; empty when the key is absent.
std::string EntryValue(const std::string& entry, const std::string& key)
{
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + '=', 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

// The first group of each match of pattern in text, without repeats.
std::set<std::string> Captures(const std::string& text, const std::string& pattern)
{
    const std::regex expression(pattern);
    std::set<std::string> found;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), expression); match != std::sregex_iterator(); ++match)
        found.insert((*match)[1].str());
    return found;
}

// How a page's source writes an option: every hyphen as "\-".
std::string RoffText(const std::string& option) { return std::regex_replace(option, std::regex("-"), "\\-"); }

class UnpackedPackage {
public:
    // Empty when the package was built and unpacked, else what went wrong.
    std::string Make(const std::string& dpkgDeb)
    {
        const std::string out = Dir.Path() + "out";
        const ProcessResult cpack =
            RunProcess({CORVANE_CPACK, "-G", "DEB", "--config", CORVANE_CPACK_CONFIG, "-B", out}, CpackDeadline);
        if (cpack.ExitCode != 0)
            return "cpack failed: " + Describe(cpack);
        for (const fs::directory_entry& file : fs::directory_iterator(out))
            if (file.path().extension() == ".deb")
                Deb = file.path().string();
        if (Deb.empty())
            return "cpack wrote no .deb into " + out;
        const ProcessResult unpack = RunProcess({dpkgDeb, "-x", Deb, Root()});
        if (unpack.ExitCode != 0)
            return "dpkg-deb -x failed: " + Describe(unpack);
        return {};
    }

    const std::string& DebFile() const { return Deb; }
    std::string Root() const { return Dir.Path() + "root/"; }

private:
    TempDir Dir;
    std::string Deb;
};

// Built once: CPack strips the programs and reads their libraries, which takes
// seconds that each test would otherwise spend again.
class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DpkgDeb = FindProgram("dpkg-deb");
        if (DpkgDeb.empty() || FindProgram("dpkg-shlibdeps").empty())
            return;
        Package = std::make_unique<UnpackedPackage>();
        Problem = Package->Make(DpkgDeb);
    }

    static void TearDownTestSuite() { Package.reset(); }

    void SetUp() override
    {
        if (!Package)
            GTEST_SKIP() << "dpkg-deb or dpkg-shlibdeps (dpkg-dev) is not installed";
        ASSERT_TRUE(Problem.empty()) << Problem;
    }

    static std::string Installed(const std::string& path) { return Package->Root() + path; }
    static std::string Program(const std::string& name) { return Installed("usr/bin/" + name); }
    static std::string ManPage(const std::string& program) { return Installed(ManDir + program + ".1.gz"); }

    static std::string ManSource(const std::string& program)
    {
        const ProcessResult page = RunProcess({FindProgram("gzip"), "-dc", ManPage(program)});
        EXPECT_EQ(page.ExitCode, 0) << Describe(page);
        return page.Out;
    }

    static inline std::string DpkgDeb;
    static inline std::string Problem;
    static inline std::unique_ptr<UnpackedPackage> Package;
};

}  // namespace

TEST_F(PackageTest, HoldsEachFileWhereTheSystemLooksForIt)
{
    EXPECT_EQ(fs::path(Package->DebFile()).filename().string().rfind(PackageName + "_" + CORVANE_VERSION + "_", 0), 0u)
        << Package->DebFile();
    for (const std::string& program : Programs) {
        EXPECT_EQ(::access(Program(program).c_str(), X_OK), 0) << program;
        EXPECT_TRUE(fs::is_regular_file(ManPage(program))) << program;
    }
    for (const std::string& file :
         {DesktopEntry, IconDir + PackageName + ".svg", DocDir + "README.md", DocDir + "docs/updater-window.png",
          DocDir + "examples/script.ini", DocDir + "examples/readid.ini", DocDir + "examples/BOOT_EXT_OPTION.HEX",
          DocDir + "examples/MB/script.ini", DocDir + "examples/MB/prom1.svf", DocDir + "examples/EXT/script.ini"})
        EXPECT_TRUE(fs::is_regular_file(Installed(file))) << file;
    EXPECT_FALSE(fs::exists(Installed(DocDir + "examples/generate.py")));
    // Every picture the installed README shows is installed beside it.
    const std::string readme = ReadFile(Installed(DocDir + "README.md"));
    const std::regex picture(R"(!\[[^\]]*\]\(([^)]+)\))");
    int pictures = 0;
    for (auto link = std::sregex_iterator(readme.begin(), readme.end(), picture); link != std::sregex_iterator(); ++link, ++pictures)
        EXPECT_TRUE(fs::is_regular_file(Installed(DocDir + (*link)[1].str()))) << (*link)[1].str();
    EXPECT_GE(pictures, 2);
    // The package owns the folder of the trusted keys, empty.
    EXPECT_TRUE(fs::is_directory(Installed("etc/corvane-pelto-updater/trusted-keys")));
    EXPECT_TRUE(fs::is_empty(Installed("etc/corvane-pelto-updater/trusted-keys")));
    const ProcessResult contents = RunProcess({DpkgDeb, "-c", Package->DebFile()});
    EXPECT_NE(contents.Out.find(" ./etc/corvane-pelto-updater/trusted-keys/\n"), std::string::npos) << contents.Out;
    // The Debian changelog's first entry is this version.
    const ProcessResult changelog = RunProcess({FindProgram("gzip"), "-dc", Installed(DocDir + "changelog.gz")});
    EXPECT_EQ(changelog.Out.rfind(PackageName + " (" + CORVANE_VERSION + ") ", 0), 0u) << changelog.Out;

    // The dependencies come from the libraries the programs link to.
    const ProcessResult depends = RunProcess({DpkgDeb, "-f", Package->DebFile(), "Depends"});
    ASSERT_EQ(depends.ExitCode, 0) << Describe(depends);
    for (const char* library :
         {"libqt6widgets6", "libqt6serialport6", "libqt6network6", "libstdc++6", "libarchive13", "libsodium23"})
        EXPECT_NE(depends.Out.find(library), std::string::npos) << library << " missing from " << depends.Out;
}

TEST_F(PackageTest, InstalledProgramsRunTheBundledExampleOnTheSimulatedCard)
{
    const TempDir work;
    const std::string app = work.Path() + "app";
    fs::copy(Installed(DocDir + "examples"), app, fs::copy_options::recursive);
    const std::string state = work.Path() + "card.json";

    ChildProcess card;
    ASSERT_TRUE(card.Start({Program("corvane-cardsim"), "--pty", "--state", state}));
    const std::string terminal = card.ReadLine();
    ASSERT_FALSE(terminal.empty()) << "the installed card printed no terminal";
    work.Write("app/Updater.prm", "CON_TYPE=RS232\nCOM_PORT=COM1\nCOM1=" + terminal + "\n");

    const ProcessResult update = RunProcess(
        {Program("corvane-updater"), "--batch", "--app-dir", app, "--timeout", UpdaterTimeoutSeconds}, UpdateDeadline);
    EXPECT_EQ(update.ExitCode, 0) << Describe(update);
    EXPECT_NE(update.Out.find("Program operation completed"), std::string::npos) << update.Out;

    ASSERT_EQ(card.Stop(SIGTERM), 0) << card.Errors();
    const ProcessResult check = RunProcess({Program("corvane-tool"), "check", state, app});
    EXPECT_EQ(check.ExitCode, 0) << Describe(check);
}

// The installed README's commands, pasted into a shell as they are: only the
// package's root, which is not "/" here, is put before its paths.
TEST_F(PackageTest, TheInstalledReadmesCommandsWorkPastedAsTheyAre)
{
    const std::string readme = ReadFile(Installed(DocDir + "README.md"));
    const std::size_t section = readme.find("### Running an installed updater");
    ASSERT_NE(section, std::string::npos);
    const std::size_t open = readme.find("```\n", section);
    const std::size_t close = readme.find("```\n", open + 4);
    ASSERT_NE(close, std::string::npos);
    const std::string docDir = "/" + DocDir;
    const std::string commands =
        std::regex_replace(readme.substr(open + 4, close - open - 4), std::regex(docDir.substr(0, docDir.size() - 1)),
                           Installed(DocDir.substr(0, DocDir.size() - 1)));

    const TempDir home;
    const ProcessResult pasted =
        RunProcess({FindProgram("env"), "HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.Path() + ".config",
                    "PATH=" + Installed("usr/bin") + ":/usr/bin:/bin", FindProgram("bash"), "-e", "-c", commands},
                   UpdateDeadline);
    EXPECT_FALSE(pasted.TimedOut) << "the card or the updater was left running";
    EXPECT_EQ(pasted.ExitCode, 0) << commands << Describe(pasted);
    EXPECT_NE(pasted.Out.find("Program operation completed"), std::string::npos) << pasted.Out;
}

TEST_F(PackageTest, ProgramsAnswerThePackageVersion)
{
    for (const std::string& program : Programs) {
        const ProcessResult version = RunProcess({Program(program), "--version"});
        EXPECT_EQ(version.ExitCode, 0) << program << ": " << Describe(version);
        EXPECT_EQ(version.Out, program + " " + CORVANE_VERSION + "\n");
    }
}

// The licence is the owner's to choose: the copyright file is the one error left.
TEST_F(PackageTest, LintianFindsNoErrorButTheMissingCopyrightFile)
{
    const std::string lintian = FindProgram("lintian");
    if (lintian.empty())
        GTEST_SKIP() << "lintian is not installed";
    const ProcessResult check = RunProcess({lintian, "--no-tag-display-limit", Package->DebFile()}, CpackDeadline);
    std::istringstream lines(check.Out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("E: ", 0) == 0) {
            EXPECT_NE(line.find(": no-copyright-file"), std::string::npos) << line;
        }
    EXPECT_NE(check.Out.find("E: " + PackageName + ": no-copyright-file"), std::string::npos) << Describe(check);
}

TEST_F(PackageTest, DesktopEntryStartsTheUpdaterWithItsIcon)
{
    const std::string entry = ReadFile(Installed(DesktopEntry));
    const std::string exec = EntryValue(entry, "Exec");
    const std::string icon = EntryValue(entry, "Icon");
    EXPECT_EQ(::access(Program(exec).c_str(), X_OK), 0) << "Exec=" << exec;
    EXPECT_TRUE(fs::is_regular_file(Installed(IconDir + icon + ".svg"))) << "Icon=" << icon;

    const std::string validator = FindProgram("desktop-file-validate");
    if (validator.empty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const ProcessResult validation = RunProcess({validator, Installed(DesktopEntry)});
    EXPECT_EQ(validation.ExitCode, 0) << Describe(validation);
    EXPECT_EQ(validation.Out + validation.Err, "");
}

TEST_F(PackageTest, ManPagesRenderWithoutWarnings)
{
    const std::string man = FindProgram("man");
    if (man.empty())
        GTEST_SKIP() << "man is not installed";
    for (const std::string& program : Programs) {
        // Every troff warning: man's default set ("mac") lets an undefined macro pass.
        const ProcessResult page = RunProcess({man, "--warnings=w", "-l", ManPage(program)});
        EXPECT_EQ(page.ExitCode, 0) << program << ": " << Describe(page);
        EXPECT_EQ(page.Err, "") << program;
        EXPECT_NE(page.Out.find("EXIT STATUS"), std::string::npos) << program;
    }
}

TEST_F(PackageTest, ManPagesDocumentEveryOptionAndCommand)
{
    for (const std::string& program : {std::string("corvane-updater"), std::string("corvane-cardsim")}) {
        const ProcessResult help = RunProcess({Program(program), "--help"});
        ASSERT_EQ(help.ExitCode, 0) << program << ": " << Describe(help);
        const std::set<std::string> options = Captures(help.Out, "(--[a-z][a-z-]*)");
        EXPECT_GT(options.size(), 3u) << help.Out;
        const std::string page = ManSource(program);
        for (const std::string& option : options)
            EXPECT_NE(page.find(RoffText(option)), std::string::npos) << program << "(1) does not document " << option;
    }

    // Without a command, corvane-tool lists its commands, one an indented line.
    const ProcessResult usage = RunProcess({Program("corvane-tool")});
    EXPECT_EQ(usage.ExitCode, 2);
    const std::set<std::string> commands = Captures(usage.Err, "\n  ([a-z][a-z-]*) ");
    EXPECT_GE(commands.size(), 3u) << usage.Err;
    const std::string page = ManSource("corvane-tool");
    const std::string exitStatus = page.substr(page.find(".SH EXIT STATUS"));
    for (const std::string& command : commands) {
        EXPECT_NE(page.find(".B corvane-tool " + RoffText(command)), std::string::npos)
            << "corvane-tool(1) does not document " << command;
        // Each command's success and its failure.
        const std::string status = ".BR " + RoffText(command) + " :";
        const std::size_t success = exitStatus.find(status);
        EXPECT_NE(success, std::string::npos) << "corvane-tool(1) gives no exit status of " << command;
        EXPECT_NE(exitStatus.find(status, success + 1), std::string::npos) << "corvane-tool(1) gives one exit status of " << command;
    }
    // --help is the same list on standard output, and a success.
    const ProcessResult help = RunProcess({Program("corvane-tool"), "--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(Captures(help.Out, "\n  ([a-z][a-z-]*) "), commands);
}
