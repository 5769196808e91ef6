#include "Bundle.h"

#include "BundleFormat.h"
#include "BundleTexts.h"
#include "Digest.h"
#include "EntryName.h"
#include "FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t HashBlockBytes = 64 * 1024;
constexpr mode_t PrivateMode = 0700;

// The SHA-256 of the whole file, which is then read again from its start.
bool HashFile(int fd, std::string& sha256, std::string& error)
{
    TSha256 hash;
    std::array<char, HashBlockBytes> block{};
    for (;;) {
        const ssize_t read = ::read(fd, block.data(), block.size());
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (read == 0)
            break;
        hash.Update(block.data(), static_cast<std::size_t>(read));
    }
    sha256 = hash.HexDigest();
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

// The unpacked update's folder is named after the bundle, so paths in messages say which update they belong to.
std::string UpdateFolderName(const std::string& path)
{
    const std::string stem = fs::path(path).stem().string();
    return EntryNameProblem(stem).empty() && stem.find('/') == std::string::npos ? stem
                                                                                 : bundleformat::DefaultUpdateFolder;
}

void CompareWithManifest(const TArchiveContents& contents, const TManifest& manifest,
                         std::vector<TBundleProblem>& problems)
{
    std::set<std::string> listed;
    for (const TManifestFile& file : manifest.Files) {
        listed.insert(file.Path);
        const auto unpacked = contents.Files.find(file.Path);
        if (unpacked == contents.Files.end())
            problems.push_back({file.Path, bundletext::FileMissing});
        else if (unpacked->second.Size != file.Size)
            problems.push_back({file.Path, FillText(bundletext::FileSize, {std::to_string(unpacked->second.Size),
                                                                           std::to_string(file.Size)})});
        else if (unpacked->second.Sha256 != file.Sha256)
            problems.push_back({file.Path, bundletext::FileAltered});
    }
    for (const auto& [name, unpacked] : contents.Files)
        if (listed.count(name) == 0)
            problems.push_back({name, bundletext::FileNotListed});
}

// The signature against the trusted keys; the summary learns the signer.
void CheckSignature(const TArchiveContents& contents, const std::vector<TTrustedKey>& keys, TBundleVerdict& verdict)
{
    if (!contents.Signature) {
        if (!keys.empty())
            verdict.Problems.push_back({{}, bundletext::NotSigned});
        return;
    }
    TMinisignSignature signature;
    std::string why;
    if (!ParseSignature(*contents.Signature, signature, why)) {
        verdict.Problems.push_back({bundleformat::SignatureName, FillText(bundletext::SignatureUnreadable, {why})});
        return;
    }
    const std::string keyId = KeyIdText(signature.Id);
    verdict.Summary.SignerKeyId = keyId;
    if (keys.empty())
        return;
    TSignatureCheck result = TSignatureCheck::OtherKey;
    for (const TTrustedKey& key : keys) {
        const TSignatureCheck check = VerifyMessage(*contents.Manifest, signature, key.Key);
        if (check == TSignatureCheck::OtherKey)
            continue;
        result = check;
        if (check == TSignatureCheck::Valid) {
            verdict.Summary.SignerTrusted = true;
            verdict.Summary.SignerComment = key.Key.Comment;
            verdict.TrustedComment = signature.TrustedComment;
            return;
        }
    }
    const char* reason = result == TSignatureCheck::OtherKey       ? bundletext::SignedByOther
                         : result == TSignatureCheck::BadSignature ? bundletext::SignatureInvalid
                                                                   : bundletext::TrustedCommentInvalid;
    verdict.Problems.push_back({bundleformat::SignatureName, FillText(reason, {keyId})});
}

}  // namespace

std::string OriginLine(const TBundleSummary& summary)
{
    if (summary.SignerKeyId.empty())
        return bundletext::NotSignedLine;
    if (!summary.SignerTrusted)
        return FillText(bundletext::SignedUnchecked, {summary.SignerKeyId});
    return FillText(bundletext::SignedBy, {summary.SignerKeyId, summary.SignerComment});
}

std::string BundleProblemText(const std::string& bundle, const TBundleProblem& problem)
{
    return bundle + ": " + (problem.Entry.empty() ? std::string() : problem.Entry + ": ") + problem.Reason;
}

std::string RefusalText(const std::string& bundle, const std::vector<TBundleProblem>& problems, std::size_t shown)
{
    std::string text = bundletext::Refused;
    for (std::size_t index = 0; index < problems.size() && index < shown; ++index)
        text += '\n' + BundleProblemText(bundle, problems[index]);
    if (problems.size() > shown)
        text += '\n' + FillText(bundletext::MoreProblems, {std::to_string(problems.size() - shown)});
    return text;
}

std::unique_ptr<TOpenedBundle> TOpenedBundle::Open(const std::string& path, const std::vector<TTrustedKey>& keys,
                                                   TBundleVerdict& verdict, const TBundleLimits& limits)
{
    verdict = {};
    std::error_code ignored;
    verdict.Summary.FileName = fs::absolute(path, ignored).lexically_normal().string();
    const auto refuse = [&verdict](std::string entry, std::string reason) {
        verdict.Problems.push_back({std::move(entry), std::move(reason)});
        return nullptr;
    };
    const TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0)
        return refuse({}, FillText(bundletext::Unreadable, {std::strerror(errno)}));
    if (!S_ISREG(status.st_mode))
        return refuse({}, FillText(bundletext::Unreadable, {std::strerror(S_ISDIR(status.st_mode) ? EISDIR : EINVAL)}));
    std::string error;
    if (!HashFile(file.Get(), verdict.Summary.Sha256, error))
        return refuse({}, FillText(bundletext::Unreadable, {error}));

    std::unique_ptr<TOpenedBundle> bundle(new TOpenedBundle);
    bundle->Private = TPrivateFolder::Make(error);
    if (!bundle->Private)
        return refuse({}, FillText(bundletext::NoPrivateFolder, {error}));
    bundle->UpdateFolder = bundle->Private->Path() + '/' + UpdateFolderName(path);
    if (::mkdir(bundle->UpdateFolder.c_str(), PrivateMode) != 0)
        return refuse({}, FillText(bundletext::NoPrivateFolder, {std::strerror(errno)}));

    TArchiveContents contents;
    TBundleProblem problem;
    if (!UnpackArchive(file.Get(), bundle->UpdateFolder, limits, contents, problem))
        return refuse(problem.Entry, problem.Reason);
    if (!contents.Manifest)
        return refuse(bundleformat::ManifestName, bundletext::ManifestMissing);
    std::string why;
    if (ParseManifest(*contents.Manifest, verdict.Manifest, why))
        CompareWithManifest(contents, verdict.Manifest, verdict.Problems);
    else
        verdict.Problems.push_back({bundleformat::ManifestName, why});
    verdict.Summary.UpdateName = verdict.Manifest.Name;
    CheckSignature(contents, keys, verdict);
    if (!verdict.Valid())
        return nullptr;
    MakeReadOnly(bundle->UpdateFolder);
    bundle->Info = verdict.Summary;
    return bundle;
}
