// corvane-updater on bundles of the bundled example, against the simulated
// card: a spoiled or untrusted bundle is refused with the entry and the reason
// before the link opens, so the card receives nothing, and nothing of it is
// left behind; a signed one updates the card and says who signed it.
#include "BundleRun.h"
#include "BundleWriter.h"
#include "ReportSchema.h"
#include "TrustedKeys.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

const std::string Refused = "Update refused: nothing was sent to the card\n";
constexpr std::uint64_t ThreeHundredMiB = std::uint64_t{300} << 20;

class BadBundles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Run.CardStarted());
        Good = ReadZip(Run.MakeBundle("good.zip"));
        ASSERT_FALSE(Good.empty());
    }
    void TearDown() override { EXPECT_EQ(Run.BytesTheCardReceived(), 0); }

    // The good bundle with change made to its entries, written as name.
    std::string Spoiled(const std::string& name, const std::function<void(std::vector<ZipEntry>&)>& change)
    {
        std::vector<ZipEntry> entries = Good;
        change(entries);
        EXPECT_TRUE(WriteZip(Run.BundlePath(name), entries));
        return Run.BundlePath(name);
    }
    // The run ends before it starts, with the refusal naming the entry, and
    // leaves nothing behind: no unpacked folder, no settings, no report.
    void ExpectRefused(const std::string& bundle, const std::string& problem, const std::vector<std::string>& options = {})
    {
        const std::vector<std::string> besideBefore = Run.FilesIn(Run.Dir.Path() + "bundles");
        const ProcessResult update = Run.Update(bundle, options);
        EXPECT_EQ(Run.FilesIn(Run.Dir.Path() + "bundles"), besideBefore);
        EXPECT_EQ(update.ExitCode, 1) << update.Err;
        EXPECT_EQ(update.Out, "");
        EXPECT_TRUE(Contains(update.Err, Refused + bundle + ": " + problem + "\n")) << update.Err;
        EXPECT_TRUE(Run.TemporaryFolderEmpty()) << bundle;
        EXPECT_TRUE(Run.FilesIn(Run.Dir.Path() + "config").empty()) << bundle;
    }

    BundleRun Run;
    std::vector<ZipEntry> Good;
};

std::string Bank(int number) { return "MB/bank" + std::to_string(number) + ".hex"; }

void Remove(std::vector<ZipEntry>& entries, const std::string& name)
{
    std::erase_if(entries, [&](const ZipEntry& entry) { return entry.Name == name; });
}

// The one report of the folder (its JSON and its log).
struct Report {
    QJsonObject Json;
    std::string Log;
};
Report OnlyReport(BundleRun& run, const std::string& folder)
{
    EXPECT_EQ(CheckReportsFollowTheSchema(folder), 1) << folder;
    for (const std::string& name : run.FilesIn(folder))
        if (name.ends_with(".json"))
            return {QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(folder + "/" + name))).object(),
                    ReadFile(folder + "/" + name.substr(0, name.size() - 5) + ".log")};
    return {};
}

std::string FileSha256(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly) && hash.addData(&file));
    return hash.result().toHex().toStdString();
}

// The example's main script with one more line after "FY"; that line's number.
int AddMainScriptLine(const std::string& folder, const std::string& line)
{
    std::vector<std::string> lines = SplitLines(ReadFile(folder + "/script.ini"));
    const auto fy = std::find(lines.begin(), lines.end(), "FY");
    EXPECT_NE(fy, lines.end());
    const auto added = lines.insert(fy + 1, line);
    std::string text;
    for (const std::string& each : lines)
        text += each + "\n";
    std::ofstream(folder + "/script.ini", std::ios::binary | std::ios::trunc) << text;
    return static_cast<int>(added - lines.begin()) + 1;
}

// A signed bundle of the folder as corvane-tool writes one, but without the
// plan that would refuse its lines: the bundle a forger who holds the key, or
// a careless packer, could make.
std::string SignedWithoutPlan(BundleRun& run, const std::string& folder, const std::string& name, const KeyPair& keys)
{
    TMinisignSecretKey key;
    std::string text;
    std::string why;
    EXPECT_TRUE(ReadKeyFile(keys.Secret, text, why) && ParseSecretKey(text, key, why)) << why;
    TFolderFiles files;
    TBundleProblem problem;
    TManifest manifest;
    EXPECT_TRUE(ListFolderFiles(folder, files, problem)) << problem.Reason;
    EXPECT_TRUE(WriteBundle(folder, files.Names, "Corvane Pelto update package 1.50", &key, run.BundlePath(name), manifest,
                            problem))
        << problem.Reason;
    return run.BundlePath(name);
}

}  // namespace

TEST_F(BadBundles, FilesThatDifferFromTheManifest)
{
    ExpectRefused(Spoiled("altered.zip",
                          [](std::vector<ZipEntry>& entries) {
                              // One data digit of the first record changed: the size stays.
                              std::string& data = FindEntry(entries, Bank(1))->Data;
                              data[12] = data[12] == '0' ? '1' : '0';
                          }),
                  Bank(1) + ": its SHA-256 is not the manifest's: the file was altered");
    ExpectRefused(Spoiled("added.zip",
                          [](std::vector<ZipEntry>& entries) {
                              entries.push_back({"MB/bank8.hex", FindEntry(entries, Bank(7))->Data});
                          }),
                  "MB/bank8.hex: not in the manifest");
    ExpectRefused(Spoiled("missing.zip", [](std::vector<ZipEntry>& entries) { Remove(entries, Bank(2)); }),
                  Bank(2) + ": listed in the manifest, missing from the bundle");
}

TEST_F(BadBundles, EntriesThatLeaveTheFolderOrAreNotFiles)
{
    const auto adding = [](ZipEntry entry) {
        return [entry](std::vector<ZipEntry>& entries) { entries.insert(entries.begin() + 1, entry); };
    };
    ExpectRefused(Spoiled("parent.zip", adding({"../x", "outside"})),
                  "../x: a name that leaves the bundle's folder through \"..\"");
    ExpectRefused(Spoiled("absolute.zip", adding({"/tmp/x", "outside"})), "/tmp/x: an absolute name");
    ExpectRefused(Spoiled("symlink.zip", adding({"MB/link.hex", "", ZipEntry::Symlink, "/etc/passwd"})),
                  "MB/link.hex: a symbolic link");
    ExpectRefused(Spoiled("twice.zip", [](std::vector<ZipEntry>& entries) { entries.push_back(entries[3]); }),
                  Good[3].Name + ": a second entry of the same name");
}

// Deflated, 300 MiB of zeros take a few hundred kilobytes. Declared as they
// are, they are refused before anything is unpacked; declared as 1000 bytes,
// the unpacking stops at the limit.
TEST_F(BadBundles, ZerosThatUnpackBeyondTheLimit)
{
    const std::string bundle = Spoiled("zeros.zip", [](std::vector<ZipEntry>& entries) {
        entries.push_back({"MB/zeros.bin", {}, ZipEntry::RegularFile, {}, ThreeHundredMiB});
    });
    EXPECT_LT(fs::file_size(bundle), std::uintmax_t{2} << 20);
    ExpectRefused(bundle, "MB/zeros.bin: declares more than 268435456 bytes unpacked");
    ASSERT_TRUE(SetDeclaredSize(bundle, "MB/zeros.bin", 1000));
    ExpectRefused(bundle, "MB/zeros.bin: more than 268435456 bytes unpacked");
}

TEST_F(BadBundles, TruncatedArchive)
{
    const std::string good = Run.BundlePath("good.zip");
    const std::string cut = Run.BundlePath("cut.zip");
    fs::copy_file(good, cut);
    fs::resize_file(cut, fs::file_size(good) / 2);
    const ProcessResult update = Run.Update(cut);
    EXPECT_EQ(update.ExitCode, 1);
    EXPECT_TRUE(Contains(update.Err, Refused + cut + ": not a ZIP archive, or a damaged or cut-short one : ")) << update.Err;
    EXPECT_TRUE(Run.TemporaryFolderEmpty());
}

TEST_F(BadBundles, SignedByAnotherKeyOrNotSignedWhereKeysAreTrusted)
{
    KeyPair trusted;
    KeyPair other;
    if (!MakeMinisignKeys(Run.Dir, "trusted", trusted) || !MakeMinisignKeys(Run.Dir, "other", other))
        GTEST_SKIP() << "minisign is not installed";
    const std::string byOther = Run.MakeBundle("other.zip", other.Secret);
    const std::string otherId = SplitLines(ReadFile(other.Public))[0].substr(std::string("untrusted comment: minisign public key ").size());
    ExpectRefused(byOther, "manifest.json.minisig: signed by key " + otherId + ", which is not a trusted key",
                  {"--trusted-key", trusted.Public});
    ExpectRefused(Run.BundlePath("good.zip"),
                  "not signed, and only updates signed by a trusted key are taken here",
                  {"--trusted-key", trusted.Public});
}

TEST(BundleRuns, SignedExampleUpdatesTheCardAndTheOperatorsFilesStayWithTheUser)
{
    BundleRun run;
    ASSERT_TRUE(run.CardStarted());
    KeyPair keys;
    if (!MakeMinisignKeys(run.Dir, "release", keys))
        GTEST_SKIP() << "minisign is not installed";
    const std::string bundle = run.MakeBundle("example.zip", keys.Secret);
    const std::string keyComment = SplitLines(ReadFile(keys.Public))[0].substr(std::string("untrusted comment: ").size());
    const std::string keyId = keyComment.substr(keyComment.rfind(' ') + 1);
    run.WriteUserSettings();

    const ProcessResult update = run.Update(bundle, {"--trusted-key", keys.Public}, false);
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    const std::vector<std::string> lines = SplitLines(update.Out);
    ASSERT_GE(lines.size(), 3u) << update.Out;
    EXPECT_EQ(lines[0], "Update signed by " + keyId + " (" + keyComment + ")");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Program operation completed"), lines.end()) << update.Out;
    EXPECT_EQ(lines.back(), "Versions written: V0 0150, V8 0210, V9 0120, UV 0150, OP 0000");
    // The settings and the report are the user's; beside the bundle and in the
    // temporary folder nothing is left.
    EXPECT_TRUE(run.TemporaryFolderEmpty());
    EXPECT_EQ(run.FilesIn(run.Dir.Path() + "bundles"), std::vector<std::string>{"example.zip"});
    EXPECT_TRUE(fs::exists(run.UserFolder() + "Updater.prm"));
    const std::vector<std::string> reports = run.FilesIn(run.UserFolder() + "reports");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0].ends_with(".json")) << reports[0];
    // The report names the bundle, its SHA-256, the update and its signer.
    const Report signedRun = OnlyReport(run, run.UserFolder() + "reports");
    const QJsonObject recorded = signedRun.Json["bundle"].toObject();
    EXPECT_EQ(recorded["file"].toString().toStdString(), bundle);
    EXPECT_EQ(recorded["sha256"].toString().toStdString(), FileSha256(bundle));
    EXPECT_EQ(recorded["name"].toString(), "Corvane Pelto update package 1.50");
    EXPECT_TRUE(recorded["signed"].toBool());
    EXPECT_EQ(recorded["signer_key_id"].toString().toStdString(), keyId);
    EXPECT_TRUE(recorded["signer_trusted"].toBool());
    EXPECT_EQ(signedRun.Json["result"].toString(), "completed");
    for (const std::string& line : {"Bundle      : " + bundle, "SHA-256     : " + FileSha256(bundle),
                                    std::string("Update name : Corvane Pelto update package 1.50"),
                                    "Signed by   : " + keyId})
        EXPECT_TRUE(Contains(signedRun.Log, line + "\n")) << line << "\n" << signedRun.Log;

    // Read Id comes from the bundle too, here an unsigned one, which its report
    // says; --report-dir takes the reports elsewhere.
    const std::string unsignedBundle = run.MakeBundle("unsigned.zip");
    const std::string runs = run.Dir.Path() + "runs";
    const ProcessResult readId = run.Update(unsignedBundle, {"--read-id", "--report-dir", runs}, false);
    EXPECT_EQ(readId.ExitCode, 0) << readId.Err;
    EXPECT_TRUE(Contains(readId.Out, "\nExtract JTAG Devices ID\n")) << readId.Out;
    EXPECT_EQ(run.FilesIn(runs).size(), 2u);
    EXPECT_EQ(run.FilesIn(run.UserFolder() + "reports").size(), 2u);
    const Report unsignedRun = OnlyReport(run, runs);
    const QJsonObject unsignedRecord = unsignedRun.Json["bundle"].toObject();
    EXPECT_EQ(unsignedRecord["file"].toString().toStdString(), unsignedBundle);
    EXPECT_EQ(unsignedRecord["sha256"].toString().toStdString(), FileSha256(unsignedBundle));
    EXPECT_FALSE(unsignedRecord["signed"].toBool());
    EXPECT_TRUE(unsignedRecord["signer_key_id"].isNull());
    EXPECT_TRUE(Contains(unsignedRun.Log, "Signed by   : nobody (not signed: its origin was not checked)\n"))
        << unsignedRun.Log;
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
}

TEST(BundleRuns, ScriptNamedOutsideTheBundleIsRefused)
{
    BundleRun run;
    ASSERT_TRUE(run.CardStarted());
    const std::string bundle = run.MakeBundle("example.zip");
    const std::string outside = run.Dir.Write("bundles/script.ini", "FY\r\n");
    for (const std::string& script : {outside, std::string("../script.ini")}) {
        const ProcessResult update = run.Update(bundle, {script});
        EXPECT_EQ(update.ExitCode, 1);
        EXPECT_TRUE(Contains(update.Err, bundle + ": the main script " + script + " is not a name within the bundle"))
            << update.Err;
    }
    EXPECT_TRUE(run.TemporaryFolderEmpty());
    EXPECT_EQ(run.BytesTheCardReceived(), 0);
}

// A signed bundle whose main script names a file beside the unpacked folder:
// the signature holds, yet that file is no part of what it covers. The check
// refuses the line, also when the check is turned off, before the link opens.
TEST(BundleRuns, LineNamingAFileOutsideTheBundleIsRefused)
{
    BundleRun run;
    ASSERT_TRUE(run.CardStarted());
    KeyPair keys;
    if (!MakeMinisignKeys(run.Dir, "release", keys))
        GTEST_SKIP() << "minisign is not installed";
    const std::string update = run.Dir.Path() + "update";
    const int line = AddMainScriptLine(update, "P0 ../outside.hex");
    const std::string bundle = SignedWithoutPlan(run, update, "outside.zip", keys);
    const std::string outside = run.Dir.Path() + "tmp/outside.hex";
    fs::copy_file(update + "/MB/bank0.hex", outside);

    const std::string problem = "/script.ini:" + std::to_string(line) +
                                ": ../outside.hex is not a file of the update bundle: its lines may name only files inside it\n";
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--trusted-key", keys.Public}, {"--trusted-key", keys.Public, "--no-check"}}) {
        const ProcessResult refused = run.Update(bundle, options);
        EXPECT_EQ(refused.ExitCode, 1) << refused.Out << refused.Err;
        EXPECT_TRUE(Contains(refused.Err, "The update has 1 problem(s): nothing was sent to the card\n")) << refused.Err;
        EXPECT_TRUE(Contains(refused.Err, problem)) << refused.Err;
        EXPECT_FALSE(Contains(refused.Out, "Synchronize")) << refused.Out;
        // Only the file beside it is left in the temporary folder.
        EXPECT_EQ(run.FilesIn(run.Dir.Path() + "tmp"), std::vector<std::string>{"outside.hex"});
    }
    EXPECT_EQ(run.BytesTheCardReceived(), 0);
}

// The same line in a plain folder reads the file beside it, as it always did;
// corvane-tool bundle refuses that folder, naming the line, as a run of its
// bundle would.
TEST(BundleRuns, PlainFolderStillReadsNamesOutsideIt)
{
    BundleRun run;
    ASSERT_TRUE(run.CardStarted());
    const std::string update = run.Dir.Path() + "update";
    const int line = AddMainScriptLine(update, "P0 ../outside.hex");
    fs::copy_file(update + "/MB/bank0.hex", run.Dir.Path() + "outside.hex");

    const ProcessResult bundled = RunProcess({CORVANE_TOOL, "bundle", update, run.BundlePath("outside.zip")});
    EXPECT_EQ(bundled.ExitCode, 1);
    EXPECT_EQ(bundled.Out, update + "/script.ini:" + std::to_string(line) +
                               ": ../outside.hex is not a file of the update bundle: its lines may name only files "
                               "inside it\n1 problem\n");
    EXPECT_FALSE(fs::exists(run.BundlePath("outside.zip")));

    const ProcessResult updated = RunProcess(run.Program({CORVANE_UPDATER, "--batch", "--app-dir", update, "--port",
                                                          run.PortText(), "--timeout", "20"}),
                                             std::chrono::seconds(90));
    EXPECT_EQ(updated.ExitCode, 0) << updated.Err;
    EXPECT_TRUE(Contains(updated.Out, "\nProgram operation completed\nProgrammed: ")) << updated.Out;
    const Report plain = OnlyReport(run, update + "/reports");
    EXPECT_TRUE(plain.Json.contains("bundle") && plain.Json["bundle"].isNull());
    EXPECT_FALSE(Contains(plain.Log, "Bundle")) << plain.Log;
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
}

// The unpacked update goes also when a signal ends the program, in batch mode
// and in the window.
TEST(BundleRuns, StopSignalsRemoveTheUnpackedUpdate)
{
    BundleRun run({"--silent-after", "0"});
    ASSERT_TRUE(run.CardStarted());
    const std::string bundle = run.MakeBundle("example.zip");
    run.WriteUserSettings();
    const std::vector<std::pair<std::vector<std::string>, int>> programs = {
        {{CORVANE_UPDATER, "--batch", "--app-dir", bundle, "--timeout", "0"}, SIGTERM},
        {{"QT_QPA_PLATFORM=offscreen", CORVANE_UPDATER, "--app-dir", bundle}, SIGINT},
        // The window of several cards, its card started at once.
        {{"QT_QPA_PLATFORM=offscreen", CORVANE_UPDATER, "--app-dir", bundle, "--port", run.PortText(), "--start"}, SIGTERM},
    };
    for (const auto& [argv, signal] : programs) {
        ChildProcess updater;
        ASSERT_TRUE(updater.Start(run.Program(argv)));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (run.TemporaryFolderEmpty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_FALSE(run.TemporaryFolderEmpty()) << "the bundle was never unpacked";
        // Until the bundle is checked and the first status line is out.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(updater.Stop(signal), 128 + signal) << updater.Errors();
        EXPECT_TRUE(run.TemporaryFolderEmpty()) << run.FilesIn(run.Dir.Path() + "tmp").front();
    }
}
