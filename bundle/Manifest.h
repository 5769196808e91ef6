// The manifest of a bundle (see BundleFormat.h): what it says of each file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TManifestFile {
    std::string Path;
    std::uint64_t Size = 0;
    std::string Sha256;  // 64 lower-case hexadecimal digits
};

struct TManifest {
    int Format = 0;
    std::string Name;
    std::vector<TManifestFile> Files;
};

// The manifest's bytes as a bundle holds them.
std::string ManifestText(const TManifest& manifest);
// False, with the reason, when text is not a manifest this updater reads: not
// JSON, another format, a field missing or of the wrong kind, a path that is not
// a safe name (EntryName.h) or that comes twice, a size beyond what a bundle may
// unpack, a SHA-256 that is not 64 lower-case hex digits.
bool ParseManifest(std::string_view text, TManifest& manifest, std::string& problem);
