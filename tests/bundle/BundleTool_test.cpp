// corvane-tool bundle and verify as processes, and bundles passed both ways
// between them and the minisign program.
#include "BundleRun.h"

#include "Digest.h"
#include "FindProgram.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

ProcessResult Tool(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv = {CORVANE_TOOL};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProcess(argv, std::chrono::seconds(60));
}

// The lines of a plan's output that name a problem ("FILE:LINE: message"), and its count.
std::vector<std::string> ProblemLines(const std::string& output, const std::string& folder)
{
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(output)) {
        const std::size_t space = line.find(' ');
        if ((line.rfind(folder, 0) == 0 && space != std::string::npos && line[space - 1] == ':') ||
            line.ends_with(" problem") || line.ends_with(" problems"))
            lines.push_back(line);
    }
    return lines;
}

std::string KeyIdOf(const KeyPair& keys)
{
    const std::string comment = SplitLines(ReadFile(keys.Public))[0];
    return comment.substr(comment.rfind(' ') + 1);
}

}  // namespace

TEST(BundleTool, FolderWithProblemsIsRefusedAsPlanRefusesIt)
{
    TempDir dir;
    fs::copy(CORVANE_EXAMPLES_DIR, dir.Path() + "update", fs::copy_options::recursive);
    const std::string folder = dir.Path() + "update";
    dir.Write("update/MB/script.ini", "P1 bank1.hex\r\nP2 missing.hex\r\nno such line\r\n");
    const ProcessResult plan = Tool({"plan", folder});
    const ProcessResult bundle = Tool({"bundle", folder, dir.Path() + "out.zip"});
    EXPECT_EQ(plan.ExitCode, 1);
    EXPECT_EQ(bundle.ExitCode, 1);
    EXPECT_EQ(ProblemLines(bundle.Out, folder), ProblemLines(plan.Out, folder));
    EXPECT_EQ(ProblemLines(bundle.Out, folder).size(), 3u) << bundle.Out;
    EXPECT_TRUE(bundle.Err.ends_with("has problems: no bundle written\n")) << bundle.Err;
    // Not even a temporary file is left beside the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(BundleTool, VerifyShowsTheFilesTheNameTheSignerAndTheVerdict)
{
    TempDir dir;
    KeyPair keys;
    KeyPair other;
    if (!MakeMinisignKeys(dir, "release", keys) || !MakeMinisignKeys(dir, "other", other))
        GTEST_SKIP() << "minisign is not installed";
    fs::copy(CORVANE_EXAMPLES_DIR, dir.Path() + "update", fs::copy_options::recursive);
    dir.Write("update/Updater.prm", "CON_TYPE=TCP\n");
    dir.Write("update/reports/old.log", "a run\n");
    const std::string bundle = dir.Path() + "example.zip";
    const ProcessResult made = Tool({"bundle", dir.Path() + "update", bundle, "--sign", keys.Secret});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    EXPECT_TRUE(Contains(made.Out, "left out: Updater.prm (the operator's link settings)\n")) << made.Out;
    EXPECT_TRUE(Contains(made.Out, "left out: reports/ (run reports)\n")) << made.Out;

    const ProcessResult verify = Tool({"verify", bundle, "--trusted-key", keys.Public});
    EXPECT_EQ(verify.ExitCode, 0) << verify.Out;
    const std::string bank = ReadFile(std::string(CORVANE_EXAMPLES_DIR) + "/MB/bank3.hex");
    for (const std::string& line : std::vector<std::string>{
             "name      Corvane Pelto update package 1.50", "files     15",
          "  MB/bank3.hex  " + std::to_string(bank.size()) + "  " + Sha256Hex(bank),
          "signer    " + KeyIdOf(keys) + " (minisign public key " + KeyIdOf(keys) + "), trusted", "verdict   valid"})
        EXPECT_TRUE(Contains(verify.Out, "\n" + line + "\n")) << line << "\n" << verify.Out;
    EXPECT_FALSE(Contains(verify.Out, "Updater.prm"));

    const ProcessResult untrusted = Tool({"verify", bundle, "--trusted-key", other.Public});
    EXPECT_EQ(untrusted.ExitCode, 1);
    EXPECT_TRUE(Contains(untrusted.Out, "verdict   refused\n" + bundle + ": manifest.json.minisig: signed by key " +
                                            KeyIdOf(keys) + ", which is not a trusted key\n"))
        << untrusted.Out;
    EXPECT_EQ(Tool({"verify"}).ExitCode, 2);
    EXPECT_EQ(Tool({"bundle", dir.Path() + "update"}).ExitCode, 2);
}

// A bundle signed by corvane-tool passes minisign -V; one whose manifest
// minisign signed, in either of its forms, is valid to corvane-tool.
TEST(BundleTool, SignaturesPassBothWaysWithMinisign)
{
    TempDir dir;
    KeyPair keys;
    if (!MakeMinisignKeys(dir, "release", keys))
        GTEST_SKIP() << "minisign is not installed";
    const std::string minisign = FindProgram("minisign");
    fs::copy(CORVANE_EXAMPLES_DIR, dir.Path() + "update", fs::copy_options::recursive);
    const std::string signedBundle = dir.Path() + "signed.zip";
    ASSERT_EQ(Tool({"bundle", dir.Path() + "update", signedBundle, "--sign", keys.Secret}).ExitCode, 0);
    std::vector<ZipEntry> entries = ReadZip(signedBundle);
    const std::string manifest = dir.Write("manifest.json", FindEntry(entries, "manifest.json")->Data);
    const std::string signature = dir.Write("manifest.json.minisig", FindEntry(entries, "manifest.json.minisig")->Data);
    const ProcessResult checked = RunProcess({minisign, "-V", "-p", keys.Public, "-m", manifest, "-x", signature});
    EXPECT_EQ(checked.ExitCode, 0) << checked.Out << checked.Err;
    EXPECT_TRUE(Contains(checked.Out, "Signature and comment signature verified")) << checked.Out;

    std::erase_if(entries, [](const ZipEntry& entry) { return entry.Name == "manifest.json.minisig"; });
    for (const std::vector<std::string>& legacy : {std::vector<std::string>{}, std::vector<std::string>{"-l"}}) {
        std::vector<std::string> sign = {minisign, "-S", "-s", keys.Secret, "-m", manifest, "-t", "release 1.50"};
        sign.insert(sign.end(), legacy.begin(), legacy.end());
        ASSERT_EQ(RunProcess(sign).ExitCode, 0);
        std::vector<ZipEntry> bySign = entries;
        bySign.push_back({"manifest.json.minisig", ReadFile(signature)});
        const std::string bundle = dir.Path() + "by-minisign.zip";
        ASSERT_TRUE(WriteZip(bundle, bySign));
        const ProcessResult verify = Tool({"verify", bundle, "--trusted-key", keys.Public});
        EXPECT_EQ(verify.ExitCode, 0) << verify.Out;
        EXPECT_TRUE(Contains(verify.Out, "\ncomment   release 1.50\n")) << verify.Out;
    }
}
