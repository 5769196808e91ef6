#include "BundleOpening.h"

#include "BundleTexts.h"
#include "EntryName.h"
#include "UpdateSession.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr char BundleSuffix[] = ".zip";

}  // namespace

bool IsUpdateBundle(const std::string& path)
{
    std::error_code ignored;
    const fs::file_status status = fs::status(path, ignored);
    return !path.empty() && !fs::is_directory(status) && (fs::exists(status) || path.ends_with(BundleSuffix));
}

std::unique_ptr<TOpenedBundle> OpenUpdateBundle(const std::string& path, const std::string& script,
                                                const std::vector<std::string>& keyFiles, std::string& scriptPath,
                                                std::string& refusal)
{
    std::vector<TTrustedKey> keys;
    TBundleProblem keyProblem;
    if (!LoadTrustedKeys(TTrustSources::Standard(keyFiles), keys, keyProblem)) {
        refusal = RefusalText(path, {keyProblem}, TUpdateSession::ProblemsShown);
        return nullptr;
    }
    TBundleVerdict verdict;
    std::unique_ptr<TOpenedBundle> bundle = TOpenedBundle::Open(path, keys, verdict);
    if (!bundle) {
        refusal = RefusalText(path, verdict.Problems, TUpdateSession::ProblemsShown);
        return nullptr;
    }
    scriptPath.clear();
    if (script.empty())
        return bundle;
    const std::string problem = EntryNameProblem(script);
    if (!problem.empty()) {
        refusal = RefusalText(path, {{{}, FillText(bundletext::ScriptOutside, {script, problem})}},
                              TUpdateSession::ProblemsShown);
        return nullptr;
    }
    scriptPath = bundle->Folder() + '/' + script;
    return bundle;
}

TReportBundle ReportBundle(const TBundleSummary& summary)
{
    return {summary.FileName, summary.Sha256, summary.UpdateName, summary.SignerKeyId, summary.SignerTrusted};
}
