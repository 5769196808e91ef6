// What the bundle tests share: ZIP archives read and written entry by entry
// (so a test can spoil one entry of a good bundle), minisign key pairs, and the
// programs found on PATH.
#pragma once

#include "TempDir.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ZipEntry {
    static constexpr mode_t RegularFile = 0100000;
    static constexpr mode_t Folder = 0040000;
    static constexpr mode_t Symlink = 0120000;

    ZipEntry(std::string name, std::string data = {}, mode_t type = RegularFile, std::string target = {},
             std::uint64_t zeros = 0)
        : Name(std::move(name)), Data(std::move(data)), Type(type), Target(std::move(target)), Zeros(zeros)
    {
    }

    std::string Name;
    std::string Data;
    // A regular file, a folder, a symbolic link (to Target), a FIFO...
    mode_t Type;
    std::string Target;
    // When not 0: that many zero bytes instead of Data, streamed, with no size
    // in the entry's local header.
    std::uint64_t Zeros;
};

// Every entry of the archive with its bytes; empty when it cannot be read.
std::vector<ZipEntry> ReadZip(const std::string& path);
// False when the archive could not be written. With a passphrase, every entry
// is encrypted with it.
bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries, const std::string& passphrase = {});
// Gives the entry of that name the Unix file mode, type included, in the
// archive's central directory: the way to a device entry, which archivers do
// not write. False when there is no such entry.
bool SetUnixMode(const std::string& path, const std::string& name, std::uint32_t mode);
// Makes the central directory declare that size, unpacked, for the entry of
// that name, whatever its data unpacks to. False when there is no such entry.
bool SetDeclaredSize(const std::string& path, const std::string& name, std::uint32_t size);
// The entry of that name; nullptr when there is none.
ZipEntry* FindEntry(std::vector<ZipEntry>& entries, const std::string& name);

struct KeyPair {
    std::string Public;
    std::string Secret;
};
// A key pair made by "minisign -G -W" in dir, as NAME.pub and NAME.key; false
// when minisign is not installed or failed.
bool MakeMinisignKeys(const TempDir& dir, const std::string& name, KeyPair& keys);
