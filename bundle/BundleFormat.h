// An update bundle: one ZIP archive that holds an update folder's files with
// their relative paths ("script.ini", "MB/bank0.hex" ...), "manifest.json" at
// its root, and optionally "manifest.json.minisig", a minisign signature
// (Ed25519) of the manifest's bytes.
//
// The manifest is a JSON object: "format" (this format's version, 1), "name"
// (the update's name: the text of the main script's first prompt line, or
// empty) and "files", one object per other file of the archive with its "path",
// "size" in bytes and "sha256" (64 lower-case hexadecimal digits).
#pragma once

#include <cstddef>
#include <cstdint>

namespace bundleformat {

inline constexpr char ManifestName[] = "manifest.json";
inline constexpr char SignatureName[] = "manifest.json.minisig";
inline constexpr int FormatVersion = 1;

inline constexpr char KeyFormat[] = "format";
inline constexpr char KeyName[] = "name";
inline constexpr char KeyFiles[] = "files";
inline constexpr char KeyPath[] = "path";
inline constexpr char KeySize[] = "size";
inline constexpr char KeySha256[] = "sha256";

// What a bundle may hold, counted as the archive is read: its entries (folders
// included), and the bytes they unpack to, manifest and signature included.
inline constexpr std::size_t MaxEntries = 10000;
inline constexpr std::uint64_t MaxUnpackedBytes = std::uint64_t{256} << 20;
// The manifest and the signature are kept in memory.
inline constexpr std::size_t MaxManifestBytes = std::size_t{8} << 20;
inline constexpr std::size_t MaxSignatureBytes = std::size_t{64} << 10;

// The operator's link settings are never part of an update: a bundle that
// carries them could point the updater at any device and folder.
inline constexpr char SettingsName[] = "Updater.prm";
// The run reports an update folder gathers; left out of a bundle made from it.
inline constexpr char ReportFolderName[] = "reports";

// Trusted public keys are the files of these folders whose names end so.
inline constexpr char SystemKeyFolder[] = "/etc/corvane-pelto-updater/trusted-keys";
inline constexpr char UserKeyFolder[] = "corvane-pelto-updater/trusted-keys";  // below $XDG_CONFIG_HOME
inline constexpr char KeyFileSuffix[] = ".pub";

// The private folder a bundle is unpacked into, in the system's temporary folder.
inline constexpr char PrivateFolderPattern[] = "corvane-pelto-updater-XXXXXX";
// The unpacked update's folder, below it, when the bundle's file name gives none.
inline constexpr char DefaultUpdateFolder[] = "update";

}  // namespace bundleformat
