// The archive of a bundle read as a stream: each entry's name and kind checked
// before its bytes are read, each file's bytes written straight to its place,
// counted and hashed as they come, so the limits hold for the bytes the
// archive really unpacks to, whatever its headers declare.
#pragma once

#include "BundleFormat.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// One thing wrong with a bundle: the entry it is about (empty for the bundle as
// a whole) and why.
struct TBundleProblem {
    std::string Entry;
    std::string Reason;
};

// What a bundle may hold: its entries (folders included), and the bytes they
// unpack to, manifest and signature included.
struct TBundleLimits {
    std::size_t Entries = bundleformat::MaxEntries;
    std::uint64_t UnpackedBytes = bundleformat::MaxUnpackedBytes;
};

struct TUnpackedFile {
    std::uint64_t Size = 0;
    std::string Sha256;
};

// What the archive held.
struct TArchiveContents {
    // The manifest and its signature, read into memory, never unpacked.
    std::optional<std::string> Manifest;
    std::optional<std::string> Signature;
    // Every other file, by its name, as unpacked.
    std::map<std::string, TUnpackedFile> Files;
};

// Reads the ZIP archive in the regular file open on fd (from its central
// directory, the index every ZIP reader goes by) and unpacks it below folder,
// which must be empty and the caller's own. False, with the problem, at the
// first entry or part of the archive that a bundle may not have: an unsafe
// name, a link, a device, an encrypted entry, a name given twice, too many
// entries or declared bytes (these before anything is written), more bytes
// than the limit as they are unpacked, damaged data. Nothing is written
// outside folder.
bool UnpackArchive(int fd, const std::string& folder, const TBundleLimits& limits, TArchiveContents& contents,
                   TBundleProblem& problem);
