// Making a bundle: an update folder's files packed with their manifest and,
// with a secret key, its signature.
#pragma once

#include "ArchiveReader.h"
#include "Manifest.h"
#include "Minisign.h"

#include <string>
#include <vector>

// The files of an update folder that a bundle of it holds.
struct TFolderFiles {
    // Relative paths, "/" between parts, in order.
    std::vector<std::string> Names;
    // What the folder holds that is not the update's ("left out: ..." lines).
    std::vector<std::string> LeftOut;
};

// Every regular file below folder (a link to a file counts as the file),
// except the operator's "Updater.prm" and "reports" folder at the top. False,
// with the problem, for a name a bundle cannot have, a link to a folder, or a
// device, FIFO or socket.
bool ListFolderFiles(const std::string& folder, TFolderFiles& files, TBundleProblem& problem);

// Writes the bundle of folder's named files to out, under a temporary name
// first, so that out is either the whole bundle or left as it was. Each file is
// hashed as it is packed, and the manifest (named updateName) and the signature
// (with key) follow the files. False, with the problem, when the bundle would
// be one the updater refuses (too many entries or bytes) or cannot be written.
bool WriteBundle(const std::string& folder, const std::vector<std::string>& names, const std::string& updateName,
                 const TMinisignSecretKey* key, const std::string& out, TManifest& manifest, TBundleProblem& problem);
