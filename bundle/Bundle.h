// TOpenedBundle: an update bundle checked and unpacked into a private folder,
// which to the updater is an ordinary program folder for as long as the object
// lives.
//
// A bundle is checked in full before any of it is used: every entry of the
// archive (ArchiveReader.h), every file against the manifest (present, not more,
// with its size and SHA-256), then the signature against the trusted keys.
// With a trusted key, only a bundle signed by one runs; without any, a bundle
// runs and the status list says its origin was not checked.
#pragma once

#include "ArchiveReader.h"
#include "Manifest.h"
#include "PrivateFolder.h"
#include "TrustedKeys.h"

#include <memory>
#include <string>
#include <vector>

// What a run tells of the bundle it came from.
struct TBundleSummary {
    std::string FileName;  // the bundle's absolute path
    std::string Sha256;    // of the whole file
    std::string UpdateName;
    std::string SignerKeyId;    // empty: not signed
    std::string SignerComment;  // the comment of the trusted key that verified it
    bool SignerTrusted = false;  // the signature was verified with a trusted key
};

// The status line that says where the update comes from.
std::string OriginLine(const TBundleSummary& summary);

// Everything a check found: valid without problems.
struct TBundleVerdict {
    std::vector<TBundleProblem> Problems;
    TManifest Manifest;  // as far as it could be read
    TBundleSummary Summary;
    // The signature's trusted comment, when it verified.
    std::string TrustedComment;

    bool Valid() const { return Problems.empty(); }
};

// "BUNDLE: ENTRY: reason", or "BUNDLE: reason" for the bundle as a whole.
std::string BundleProblemText(const std::string& bundle, const TBundleProblem& problem);
// The refusal the operator reads: a first line that says nothing was sent,
// then the first shown problems, one a line, and how many more there are.
std::string RefusalText(const std::string& bundle, const std::vector<TBundleProblem>& problems, std::size_t shown);

class TOpenedBundle {
public:
    // Checks the bundle at path against keys and unpacks it. nullptr when it
    // is refused: verdict says why, and nothing of it is left on disk.
    static std::unique_ptr<TOpenedBundle> Open(const std::string& path, const std::vector<TTrustedKey>& keys,
                                               TBundleVerdict& verdict, const TBundleLimits& limits = {});
    // The files go with the object.
    ~TOpenedBundle() = default;

    // The unpacked update, read-only, without a trailing delimiter.
    const std::string& Folder() const { return UpdateFolder; }
    const TBundleSummary& Summary() const { return Info; }

private:
    TOpenedBundle() = default;

    std::unique_ptr<TPrivateFolder> Private;
    std::string UpdateFolder;
    TBundleSummary Info;
};
