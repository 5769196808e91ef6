// The texts of update bundles: why a bundle or one of its entries is refused,
// why a key or a signature cannot be read, and the status lines that say where
// an update comes from. Each "%s" is filled in order by FillText.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace bundletext {

// ---- Refusal: a header line, then one line per problem, "BUNDLE: ENTRY: reason".
inline constexpr char Refused[] = "Update refused: nothing was sent to the card";
inline constexpr char MoreProblems[] = "... and %s more";

// ---- The archive as a whole.
inline constexpr char Unreadable[] = "cannot be read : %s";
inline constexpr char NotAnArchive[] = "not a ZIP archive, or a damaged or cut-short one : %s";
inline constexpr char TooManyEntries[] = "more than %s entries";
inline constexpr char TooManyBytes[] = "more than %s bytes unpacked";
inline constexpr char DeclaresTooManyBytes[] = "declares more than %s bytes unpacked";
inline constexpr char NoPrivateFolder[] = "no private folder to unpack it into : %s";

// ---- One entry's name.
inline constexpr char NameEmpty[] = "an entry without a name";
inline constexpr char NameAbsolute[] = "an absolute name";
inline constexpr char NameLeaves[] = "a name that leaves the bundle's folder through \"..\"";
inline constexpr char NameBackslash[] = "a name with \"\\\"";
inline constexpr char NameControl[] = "a name with a control character";
inline constexpr char NameEmptyPart[] = "a name with an empty or \".\" part";
inline constexpr char NameNotUtf8[] = "a name that is not UTF-8";
inline constexpr char NameUnreadable[] = "a name that cannot be read : %s";

// ---- One entry.
inline constexpr char EntrySymlink[] = "a symbolic link";
inline constexpr char EntryHardLink[] = "a hard link";
inline constexpr char EntrySpecial[] = "a device, FIFO or socket";
inline constexpr char EntryTwice[] = "a second entry of the same name";
inline constexpr char EntryFileAndFolder[] = "a name used for a file and for a folder";
inline constexpr char EntryEncrypted[] = "an encrypted entry";
inline constexpr char EntrySettings[] = "the operator's link settings, which an update never carries";
inline constexpr char EntryTooLarge[] = "larger than %s bytes";
inline constexpr char EntryNotUnpacked[] = "cannot be unpacked : %s";
inline constexpr char EntryDamaged[] = "damaged : %s";

// ---- The manifest.
inline constexpr char ManifestMissing[] = "missing: this is not an update bundle";
inline constexpr char ManifestNotJson[] = "not JSON : %s";
inline constexpr char ManifestNotObject[] = "not a JSON object";
inline constexpr char ManifestFormat[] = "format %s, which this updater does not read";
inline constexpr char ManifestField[] = "\"%s\" is missing or of the wrong kind";
inline constexpr char ManifestFileField[] = "file %s: \"%s\" is missing or of the wrong kind";
inline constexpr char ManifestBadPath[] = "file %s: %s";
inline constexpr char ManifestReservedPath[] = "file %s: a name the bundle keeps for itself";
inline constexpr char ManifestPathTwice[] = "file %s: listed twice";

// ---- The files against the manifest.
inline constexpr char FileMissing[] = "listed in the manifest, missing from the bundle";
inline constexpr char FileNotListed[] = "not in the manifest";
inline constexpr char FileSize[] = "%s bytes, where the manifest says %s";
inline constexpr char FileAltered[] = "its SHA-256 is not the manifest's: the file was altered";

// ---- The signature and the trusted keys.
inline constexpr char NotSigned[] = "not signed, and only updates signed by a trusted key are taken here";
inline constexpr char SignedByOther[] = "signed by key %s, which is not a trusted key";
inline constexpr char SignatureInvalid[] =
    "the signature by key %s does not verify: the manifest was altered or the signature is damaged";
inline constexpr char TrustedCommentInvalid[] = "the trusted comment of the signature by key %s does not verify";
inline constexpr char SignatureUnreadable[] = "not a minisign signature : %s";
inline constexpr char KeyUnreadable[] = "not a minisign public key : %s";
inline constexpr char SecretKeyUnreadable[] = "not a minisign secret key : %s";
inline constexpr char FolderUnreadable[] = "cannot be read : %s";

// ---- Why a key or signature file cannot be read.
inline constexpr char NoCommentLine[] = "no \"untrusted comment: \" line";
inline constexpr char NoTrustedCommentLine[] = "no \"trusted comment: \" line";
inline constexpr char NotBase64[] = "a line that is not base64";
inline constexpr char WrongLength[] = "%s bytes where %s were expected";
inline constexpr char WrongAlgorithm[] = "not an Ed25519 key or signature";
inline constexpr char EncryptedKey[] = "encrypted with a password (make it with minisign -G -W)";
inline constexpr char KeyChecksum[] = "its checksum does not match: the key is damaged";
inline constexpr char ExtraLines[] = "lines after the end";

// ---- The main script named on the command line: a file of the bundle.
inline constexpr char ScriptOutside[] = "the main script %s is not a name within the bundle : %s";

// ---- Making a bundle from a folder.
inline constexpr char FolderLink[] = "a link to a folder (copy the folder in instead)";
inline constexpr char FolderSpecial[] = "neither a file nor a folder";
inline constexpr char FolderReserved[] = "a name the bundle keeps for itself";
inline constexpr char OutputInsideFolder[] = "the bundle would be inside the folder it packs";
inline constexpr char FileChanged[] = "the file shrank while it was packed";
inline constexpr char NotWritten[] = "cannot be written : %s";
inline constexpr char LeftOutSettings[] = "left out: %s (the operator's link settings)";
inline constexpr char LeftOutReports[] = "left out: %s/ (run reports)";

// ---- The status lines that say where an update comes from.
inline constexpr char SignedBy[] = "Update signed by %s (%s)";
inline constexpr char SignedUnchecked[] = "Update signed by %s, but no trusted key is set up: its origin is not checked";
inline constexpr char NotSignedLine[] = "Update not signed: its origin is not checked";

}  // namespace bundletext

// The pattern with each "%s" replaced by the next argument.
std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> args);
