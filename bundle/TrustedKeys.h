// The public keys whose signatures let a bundle run: every "*.pub" file of the
// system's folder and of the user's, and the files named on the command line.
// A key file that cannot be read is a problem, never a key less: a broken key
// must not turn the signature check off.
#pragma once

#include "ArchiveReader.h"
#include "Minisign.h"

#include <string>
#include <vector>

struct TTrustSources {
    std::string SystemFolder;
    std::string UserFolder;  // empty: none
    std::vector<std::string> Files;

    // /etc/corvane-pelto-updater/trusted-keys, the same below $XDG_CONFIG_HOME
    // (or ~/.config), and files.
    static TTrustSources Standard(std::vector<std::string> files);
};

struct TTrustedKey {
    TMinisignPublicKey Key;
    std::string Path;
};

// False, with the key file or folder and the reason, at the first one that
// cannot be read. A folder that is not there holds no key.
bool LoadTrustedKeys(const TTrustSources& sources, std::vector<TTrustedKey>& keys, TBundleProblem& problem);

// A key or signature file, which is never large; false with the system's reason.
bool ReadKeyFile(const std::string& path, std::string& text, std::string& error);
