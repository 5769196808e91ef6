// corvane-tool verify BUNDLE [--trusted-key FILE]...: checks a bundle as the
// updater checks it before a run (the same trusted keys, and these files), and
// prints what it holds, who signed it and the verdict.
#include "commands.h"

#include "Bundle.h"

#include <ostream>

namespace {

constexpr char Usage[] = "usage: corvane-tool verify BUNDLE [--trusted-key PUBLIC_KEY_FILE]...\n";
constexpr char OptionTrustedKey[] = "--trusted-key";
constexpr int LabelWidth = 10;

std::string Label(const char* label)
{
    std::string text = label;
    text.resize(LabelWidth, ' ');
    return text;
}

std::string Signer(const TBundleSummary& summary)
{
    if (summary.SignerKeyId.empty())
        return "none (not signed)";
    if (!summary.SignerTrusted)
        return summary.SignerKeyId + " (not checked: no trusted key verified it)";
    return summary.SignerKeyId + " (" + summary.SignerComment + "), trusted";
}

}  // namespace

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> keyFiles;
    std::vector<std::string> paths;
    for (std::size_t index = 0; index < args.size(); ++index) {
        if (args[index] == OptionTrustedKey && index + 1 < args.size()) {
            keyFiles.push_back(args[++index]);
        } else if (args[index].empty() || args[index][0] == '-') {
            err << Usage;
            return ExitUsage;
        } else {
            paths.push_back(args[index]);
        }
    }
    if (paths.size() != 1) {
        err << Usage;
        return ExitUsage;
    }
    const std::string& path = paths[0];
    std::vector<TTrustedKey> keys;
    TBundleProblem keyProblem;
    TBundleVerdict verdict;
    if (!LoadTrustedKeys(TTrustSources::Standard(keyFiles), keys, keyProblem)) {
        out << Label("verdict") << "refused\n" << keyProblem.Entry << ": " << keyProblem.Reason << '\n';
        return ExitFailure;
    }
    // Checked in a private folder, which goes with the bundle object.
    const bool valid = TOpenedBundle::Open(path, keys, verdict) != nullptr;
    const TBundleSummary& summary = verdict.Summary;
    out << Label("bundle") << summary.FileName << '\n';
    out << Label("sha256") << summary.Sha256 << '\n';
    out << Label("name") << verdict.Manifest.Name << '\n';
    out << Label("files") << verdict.Manifest.Files.size() << '\n';
    for (const TManifestFile& file : verdict.Manifest.Files)
        out << "  " << file.Path << "  " << file.Size << "  " << file.Sha256 << '\n';
    out << Label("signer") << Signer(summary) << '\n';
    if (valid && !verdict.TrustedComment.empty())
        out << Label("comment") << verdict.TrustedComment << '\n';
    out << Label("verdict") << (valid ? "valid" : "refused") << '\n';
    for (const TBundleProblem& problem : verdict.Problems)
        out << BundleProblemText(summary.FileName, problem) << '\n';
    return valid ? ExitSuccess : ExitFailure;
}
