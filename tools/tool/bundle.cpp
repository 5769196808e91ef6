// corvane-tool bundle DIR OUT.zip [--sign SECRET_KEY_FILE]: the update in DIR as
// one file, once its plan finds no problem, with its manifest and, with a
// minisign secret key, its signature.
#include "commands.h"

#include "BundleFormat.h"
#include "BundleTexts.h"
#include "BundleWriter.h"
#include "TrustedKeys.h"
#include "UpdateName.h"
#include "UpdatePlan.h"
#include "constante.h"

#include <ostream>

namespace {

constexpr char Usage[] = "usage: corvane-tool bundle DIR OUT.zip [--sign SECRET_KEY_FILE]\n";
constexpr char OptionSign[] = "--sign";

std::string Problem(const std::string& where, const TBundleProblem& problem)
{
    return (problem.Entry.empty() ? where : problem.Entry) + ": " + problem.Reason;
}

}  // namespace

int RunBundle(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> paths;
    std::string keyPath;
    for (std::size_t index = 0; index < args.size(); ++index) {
        if (args[index] == OptionSign && index + 1 < args.size() && keyPath.empty()) {
            keyPath = args[++index];
        } else if (args[index].empty() || args[index][0] == '-') {
            err << Usage;
            return ExitUsage;
        } else {
            paths.push_back(args[index]);
        }
    }
    if (paths.size() != 2) {
        err << Usage;
        return ExitUsage;
    }
    std::string folder = paths[0];
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::string& output = paths[1];

    // The folder is refused as the plan refuses it, with the plan's own lines,
    // and as a bundle's run plans it: its lines may name only its own files.
    const TConfinedFiles confined(DiskFiles(), folder);
    TPlanSettings settings;
    settings.Files = &confined;
    const TUpdatePlan plan = PlanUpdate(folder, {}, settings);
    if (!plan.IsClean()) {
        for (const TPlanProblem& problem : plan.Problems)
            out << ProblemText(problem) << '\n';
        out << plan.Problems.size() << (plan.Problems.size() == 1 ? " problem\n" : " problems\n");
        err << "corvane-tool bundle: " << folder << " has problems: no bundle written\n";
        return ExitFailure;
    }

    TMinisignSecretKey key;
    if (!keyPath.empty()) {
        std::string text;
        std::string why;
        if (!ReadKeyFile(keyPath, text, why) || !ParseSecretKey(text, key, why)) {
            err << "corvane-tool bundle: " << keyPath << ": " << FillText(bundletext::SecretKeyUnreadable, {why}) << '\n';
            return ExitFailure;
        }
    }
    TFolderFiles files;
    TBundleProblem problem;
    TManifest manifest;
    if (!ListFolderFiles(folder, files, problem) ||
        !WriteBundle(folder, files.Names, UpdateName(folder + '/' + constante::MainScriptName),
                     keyPath.empty() ? nullptr : &key, output, manifest, problem)) {
        err << "corvane-tool bundle: " << Problem(folder, problem) << '\n';
        return ExitFailure;
    }
    for (const std::string& line : files.LeftOut)
        out << line << '\n';
    std::uint64_t bytes = 0;
    for (const TManifestFile& file : manifest.Files)
        bytes += file.Size;
    out << output << ": \"" << manifest.Name << "\", " << manifest.Files.size() << " files, " << bytes << " bytes, "
        << (keyPath.empty() ? std::string("not signed") : "signed by " + KeyIdText(key.Id)) << '\n';
    return ExitSuccess;
}
