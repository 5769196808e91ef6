// The bundle library on its own: names, manifests, minisign files, trusted key
// folders, and bundles opened from archives made here, good and spoiled.
#include "BundleTestSupport.h"
#include "FindProgram.h"

#include "Bundle.h"
#include "BundleTexts.h"
#include "BundleWriter.h"
#include "EntryName.h"
#include "RunProcess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;

// TMPDIR points into the test's own folder while the object lives.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        const char* before = std::getenv("TMPDIR");
        Before = before != nullptr ? before : "";
        ::setenv("TMPDIR", Dir.Path().c_str(), 1);
    }
    ~TemporaryFolder()
    {
        if (Before.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", Before.c_str(), 1);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool Empty() const { return fs::is_empty(Dir.Path()); }

    TempDir Dir;

private:
    std::string Before;
};

// A small update folder and its bundle, signed when a key is given.
std::string MakeBundle(const TempDir& dir, const TMinisignSecretKey* key = nullptr)
{
    dir.Write("update/script.ini", "rem first\r\n  prompt  Small update 2.0 \r\nCM\r\n");
    dir.Write("update/MB/script.ini", "P1 bank1.hex\r\n");
    dir.Write("update/MB/bank1.hex", ":00000001FF\r\n");
    TFolderFiles files;
    TBundleProblem problem;
    TManifest manifest;
    const std::string bundle = dir.Path() + "small.zip";
    EXPECT_TRUE(ListFolderFiles(dir.Path() + "update", files, problem)) << problem.Entry << ": " << problem.Reason;
    EXPECT_TRUE(WriteBundle(dir.Path() + "update", files.Names, "Small update 2.0", key, bundle, manifest, problem))
        << problem.Entry << ": " << problem.Reason;
    return bundle;
}

bool ReadKey(const std::string& path, TMinisignSecretKey& key)
{
    std::string text;
    std::string why;
    return ReadKeyFile(path, text, why) && ParseSecretKey(text, key, why);
}

bool ReadKey(const std::string& path, TMinisignPublicKey& key)
{
    std::string text;
    std::string why;
    return ReadKeyFile(path, text, why) && ParsePublicKey(text, key, why);
}

std::vector<TTrustedKey> Trusting(const std::string& path)
{
    TTrustedKey key;
    EXPECT_TRUE(ReadKey(path, key.Key)) << path;
    key.Path = path;
    return {key};
}

// The problems of opening the archive, as "ENTRY: reason".
std::vector<std::string> Problems(const std::string& bundle, const std::vector<TTrustedKey>& keys = {})
{
    TBundleVerdict verdict;
    EXPECT_EQ(TOpenedBundle::Open(bundle, keys, verdict), nullptr);
    std::vector<std::string> texts;
    for (const TBundleProblem& problem : verdict.Problems)
        texts.push_back(problem.Entry + ": " + problem.Reason);
    return texts;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(EntryNames, OnlyRelativePathsThatStayBelowTheFolder)
{
    for (const char* safe : {"script.ini", "MB/bank0.hex", "EXT/a b/c.svf", "..x", "x..", "MB/...", "caf\xC3\xA9.hex"})
        EXPECT_EQ(EntryNameProblem(safe), "") << safe;
    const std::vector<std::pair<std::string, const char*>> unsafe = {
        {"", bundletext::NameEmpty},
        {"/tmp/x", bundletext::NameAbsolute},
        {"../x", bundletext::NameLeaves},
        {"MB/../../x", bundletext::NameLeaves},
        {"a//../b", bundletext::NameLeaves},
        {"MB\\..\\x", bundletext::NameBackslash},
        {"MB/x\n.hex", bundletext::NameControl},
        {"MB//x", bundletext::NameEmptyPart},
        {"./x", bundletext::NameEmptyPart},
        {"MB/", bundletext::NameEmptyPart},
        {"caf\xE9.hex", bundletext::NameNotUtf8},
    };
    for (const auto& [name, reason] : unsafe)
        EXPECT_EQ(EntryNameProblem(name), reason) << name;
}

TEST(Manifests, ReadBackAsWrittenAndRefusedWhenMalformed)
{
    const std::string sha(64, 'a');
    TManifest written{1, "Update \xC3\xA9", {{"script.ini", 12, sha}, {"MB/bank0.hex", 0, std::string(64, '0')}}};
    TManifest read;
    std::string problem;
    ASSERT_TRUE(ParseManifest(ManifestText(written), read, problem)) << problem;
    EXPECT_EQ(read.Name, written.Name);
    ASSERT_EQ(read.Files.size(), 2u);
    EXPECT_EQ(read.Files[1].Path, "MB/bank0.hex");
    EXPECT_EQ(read.Files[0].Size, 12u);

    const auto file = [&](const std::string& path, const std::string& size, const std::string& hash) {
        return "{\"path\": \"" + path + "\", \"size\": " + size + ", \"sha256\": \"" + hash + "\"}";
    };
    const auto document = [](const std::string& files, const std::string& format = "1") {
        return "{\"format\": " + format + ", \"name\": \"n\", \"files\": [" + files + "]}";
    };
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"{\"format\": 1,", "not JSON"},
        {"[]", bundletext::ManifestNotObject},
        {document("", "2"), "format 2, which this updater does not read"},
        {"{\"format\": 1, \"files\": []}", "\"name\" is missing or of the wrong kind"},
        {document(file("../x", "1", sha)), "file ../x: " + std::string(bundletext::NameLeaves)},
        {document(file("manifest.json", "1", sha)), "file manifest.json: a name the bundle keeps for itself"},
        {document(file("a", "1", sha) + "," + file("a", "2", sha)), "file a: listed twice"},
        {document(file("a", "-1", sha)), "file a: \"size\" is missing or of the wrong kind"},
        {document(file("a", "1.5", sha)), "file a: \"size\" is missing or of the wrong kind"},
        {document(file("a", "1", std::string(64, 'A'))), "file a: \"sha256\" is missing or of the wrong kind"},
        {document(file("a", "1", "abc")), "file a: \"sha256\" is missing or of the wrong kind"},
    };
    for (const auto& [text, expected] : refused) {
        EXPECT_FALSE(ParseManifest(text, read, problem)) << text;
        EXPECT_EQ(problem.rfind(expected, 0), 0u) << text << "\n  gave: " << problem;
    }
}

TEST(MinisignFiles, SignaturesOfEitherSideVerifyAndAnyChangeIsCaught)
{
    TempDir dir;
    KeyPair pair;
    KeyPair other;
    if (!MakeMinisignKeys(dir, "release", pair) || !MakeMinisignKeys(dir, "other", other))
        GTEST_SKIP() << "minisign is not installed";
    TMinisignSecretKey secret;
    TMinisignPublicKey key;
    TMinisignPublicKey otherKey;
    ASSERT_TRUE(ReadKey(pair.Secret, secret));
    ASSERT_TRUE(ReadKey(pair.Public, key));
    ASSERT_TRUE(ReadKey(other.Public, otherKey));
    EXPECT_EQ(secret.Id, key.Id);
    // The key ID as minisign names it in the public key's comment: no leading zero.
    EXPECT_EQ(key.Comment, "minisign public key " + KeyIdText(key.Id));
    EXPECT_EQ(KeyIdText({0x6B, 0x71, 0x10, 0xCA, 0x10, 0x49, 0x7D, 0x0A}), "A7D4910CA10716B");

    const std::string message = "{\"format\": 1}\n";
    TMinisignSignature signature;
    std::string why;
    ASSERT_TRUE(ParseSignature(SignMessage(message, secret, "release 2.0"), signature, why)) << why;
    EXPECT_EQ(VerifyMessage(message, signature, key), TSignatureCheck::Valid);
    EXPECT_EQ(VerifyMessage(message + " ", signature, key), TSignatureCheck::BadSignature);
    EXPECT_EQ(VerifyMessage(message, signature, otherKey), TSignatureCheck::OtherKey);
    signature.TrustedComment = "release 2.1";
    EXPECT_EQ(VerifyMessage(message, signature, key), TSignatureCheck::BadTrustedComment);

    // minisign's own signatures, prehashed and in the older form.
    const std::string file = dir.Write("manifest.json", message);
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, std::vector<std::string>{"-l"}}) {
        std::vector<std::string> argv = {FindProgram("minisign"), "-S", "-s", pair.Secret, "-m", file, "-t", "from minisign"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        ASSERT_EQ(RunProcess(argv).ExitCode, 0);
        ASSERT_TRUE(ParseSignature(ReadFile(file + ".minisig"), signature, why)) << why;
        EXPECT_EQ(signature.Prehashed, extra.empty());
        EXPECT_EQ(signature.TrustedComment, "from minisign");
        EXPECT_EQ(VerifyMessage(message, signature, key), TSignatureCheck::Valid);
        EXPECT_EQ(VerifyMessage(message + "x", signature, key), TSignatureCheck::BadSignature);
    }
}

TEST(MinisignFiles, KeysThatCannotSignAreRefusedWithTheReason)
{
    TempDir dir;
    KeyPair pair;
    if (!MakeMinisignKeys(dir, "release", pair))
        GTEST_SKIP() << "minisign is not installed";
    const std::string text = ReadFile(pair.Secret);
    const std::size_t data = text.find('\n') + 1;
    // The key's bytes decoded, changed, and encoded again.
    const auto spoiled = [&](const std::function<void(std::string&)>& change) {
        std::string bytes(158, '\0');
        std::size_t length = 0;
        sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data() + data,
                          text.find('\n', data) - data, nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL);
        change(bytes);
        std::string encoded(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
        sodium_bin2base64(encoded.data(), encoded.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                          bytes.size(), sodium_base64_VARIANT_ORIGINAL);
        encoded.pop_back();
        return text.substr(0, data) + encoded + "\n";
    };
    TMinisignSecretKey key;
    std::string why;
    EXPECT_TRUE(ParseSecretKey(spoiled([](std::string&) {}), key, why)) << why;
    EXPECT_FALSE(ParseSecretKey(spoiled([](std::string& bytes) { bytes.replace(2, 2, "Sc"); }), key, why));
    EXPECT_EQ(why, bundletext::EncryptedKey);
    // A byte of the secret key itself.
    EXPECT_FALSE(ParseSecretKey(spoiled([](std::string& bytes) { bytes[70] ^= 1; }), key, why));
    EXPECT_EQ(why, bundletext::KeyChecksum);
    EXPECT_FALSE(ParseSecretKey("untrusted comment: x\nnot base64!\n", key, why));
    EXPECT_EQ(why, bundletext::NotBase64);
    EXPECT_FALSE(ParseSecretKey(ReadFile(pair.Public), key, why));
    EXPECT_EQ(why, "42 bytes where 158 were expected");
    TMinisignPublicKey publicKey;
    EXPECT_FALSE(ParsePublicKey("RWQf6LRCGA9i53mlYecO4IzT51TGPpvWucNSCh1CBM0QTaLn73Y7GFO3\n", publicKey, why));
    EXPECT_EQ(why, bundletext::NoCommentLine);
}

// An empty line where the base64 belongs decodes to nothing, like any short one.
TEST(MinisignFiles, AnEmptyDataLineIsTooShort)
{
    TMinisignSignature signature;
    std::string why;
    EXPECT_FALSE(ParseSignature("untrusted comment: x\n\ntrusted comment: t\nAA==\n", signature, why));
    EXPECT_EQ(why, "0 bytes where 74 were expected");
    TMinisignPublicKey key;
    EXPECT_FALSE(ParsePublicKey("untrusted comment: x\n\n", key, why));
}

TEST(TrustedKeyFolders, OnlyPubFilesCountAndABrokenOneIsAProblem)
{
    TempDir dir;
    KeyPair pair;
    if (!MakeMinisignKeys(dir, "release", pair))
        GTEST_SKIP() << "minisign is not installed";
    const std::string system = dir.Path() + "system";
    fs::create_directories(system);
    fs::copy_file(pair.Public, system + "/release.pub");
    dir.Write("system/README", "keys that sign updates go here\n");
    TTrustSources sources{system, dir.Path() + "no such folder", {}};
    std::vector<TTrustedKey> keys;
    TBundleProblem problem;
    ASSERT_TRUE(LoadTrustedKeys(sources, keys, problem)) << problem.Reason;
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].Path, system + "/release.pub");

    const std::string broken = dir.Write("user/broken.pub", "untrusted comment: half a key\nRWQf6LRC\n");
    sources.UserFolder = dir.Path() + "user";
    EXPECT_FALSE(LoadTrustedKeys(sources, keys, problem));
    EXPECT_EQ(problem.Entry, broken);
    EXPECT_EQ(problem.Reason.rfind("not a minisign public key", 0), 0u) << problem.Reason;
}

TEST(OpenedBundles, UnpackedReadOnlyIntoAPrivateFolderThatGoesWithThem)
{
    TempDir dir;
    TemporaryFolder temporary;
    const std::string path = MakeBundle(dir);
    TBundleVerdict verdict;
    std::unique_ptr<TOpenedBundle> bundle = TOpenedBundle::Open(path, {}, verdict);
    ASSERT_NE(bundle, nullptr) << (verdict.Problems.empty() ? "" : verdict.Problems[0].Reason);
    EXPECT_EQ(bundle->Summary().UpdateName, "Small update 2.0");
    EXPECT_EQ(bundle->Summary().FileName, path);
    EXPECT_EQ(bundle->Summary().Sha256.size(), 64u);
    EXPECT_EQ(OriginLine(bundle->Summary()), "Update not signed: its origin is not checked");
    const fs::path folder = bundle->Folder();
    EXPECT_EQ(folder.filename(), "small");
    EXPECT_EQ(ReadFile(folder / "MB/bank1.hex"), ":00000001FF\r\n");
    EXPECT_FALSE(fs::exists(folder / "manifest.json"));
    struct stat status {};
    ASSERT_EQ(::stat(folder.parent_path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0222, 0u);
    ASSERT_EQ(::stat((folder / "MB/script.ini").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0222, 0u);
    bundle.reset();
    EXPECT_TRUE(temporary.Empty());

    // Refused: nothing is left either.
    std::vector<ZipEntry> entries = ReadZip(path);
    entries.push_back({"extra.txt", "x"});
    ASSERT_TRUE(WriteZip(path, entries));
    EXPECT_EQ(Problems(path), Texts{"extra.txt: not in the manifest"});
    EXPECT_TRUE(temporary.Empty());
}

TEST(OpenedBundles, EntriesABundleMayNotHave)
{
    TempDir dir;
    TemporaryFolder temporary;
    const std::string path = MakeBundle(dir);
    const std::vector<ZipEntry> good = ReadZip(path);
    const auto with = [&](std::vector<ZipEntry> added, const std::string& passphrase = {}) {
        std::vector<ZipEntry> entries = good;
        entries.insert(entries.begin(), added.begin(), added.end());
        EXPECT_TRUE(WriteZip(path, entries, passphrase));
        return Problems(path);
    };
    EXPECT_EQ(with({{"Updater.prm", "COM1=/dev/sda\n"}}), Texts{"Updater.prm: " + std::string(bundletext::EntrySettings)});
    EXPECT_EQ(with({{"MB/script.ini/x", "x"}}), Texts{"MB/script.ini: a name used for a file and for a folder"});
    EXPECT_EQ(with({{"EXT/", "", ZipEntry::Folder}, {"EXT/script.ini", "FI\r\n"}, {"EXT", "x"}}),
              Texts{"EXT: a second entry of the same name"});
    std::vector<ZipEntry> device = good;
    device.insert(device.begin(), {"tty"});
    ASSERT_TRUE(WriteZip(path, device));
    ASSERT_TRUE(SetUnixMode(path, "tty", 0020644));
    EXPECT_EQ(Problems(path), Texts{"tty: a device, FIFO or socket"});
    EXPECT_EQ(with({{"secret.hex", "x"}}, "password"), Texts{"secret.hex: an encrypted entry"});
    EXPECT_EQ(with({{"manifest.json.minisig", "not a signature"}}),
              Texts{"manifest.json.minisig: not a minisign signature : no \"untrusted comment: \" line"});

    std::vector<ZipEntry> many;
    for (int index = 0; index < 10000; ++index)
        many.push_back({"f" + std::to_string(index), ""});
    EXPECT_EQ(with(many), Texts{": more than 10000 entries"});

    // The data unpacks to more than the headers declare: the bytes that come are counted.
    std::vector<ZipEntry> zeros = good;
    zeros.insert(zeros.begin(), {"zeros.bin", {}, ZipEntry::RegularFile, {}, 3 << 20});
    ASSERT_TRUE(WriteZip(path, zeros));
    ASSERT_TRUE(SetDeclaredSize(path, "zeros.bin", 1000));
    const TBundleLimits limits{100, 2 << 20};
    TBundleVerdict verdict;
    EXPECT_EQ(TOpenedBundle::Open(path, {}, verdict, limits), nullptr);
    ASSERT_EQ(verdict.Problems.size(), 1u);
    EXPECT_EQ(verdict.Problems[0].Entry + ": " + verdict.Problems[0].Reason,
              "zeros.bin: more than 2097152 bytes unpacked");

    std::vector<ZipEntry> noManifest = good;
    std::erase_if(noManifest, [](const ZipEntry& entry) { return entry.Name == "manifest.json"; });
    ASSERT_TRUE(WriteZip(path, noManifest));
    EXPECT_EQ(Problems(path), Texts{"manifest.json: missing: this is not an update bundle"});
    EXPECT_EQ(Problems(dir.Write("plain.txt", "not an archive")).size(), 1u);
    EXPECT_TRUE(temporary.Empty());
}

TEST(OpenedBundles, TheSignatureAgainstTheTrustedKeys)
{
    TempDir dir;
    TemporaryFolder temporary;
    KeyPair pair;
    KeyPair other;
    if (!MakeMinisignKeys(dir, "release", pair) || !MakeMinisignKeys(dir, "other", other))
        GTEST_SKIP() << "minisign is not installed";
    TMinisignSecretKey secret;
    ASSERT_TRUE(ReadKey(pair.Secret, secret));
    const std::string path = MakeBundle(dir, &secret);
    const std::string keyId = KeyIdText(secret.Id);
    TBundleVerdict verdict;

    // Signed, and no key to check it with: it runs, and says so.
    std::unique_ptr<TOpenedBundle> bundle = TOpenedBundle::Open(path, {}, verdict);
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(OriginLine(bundle->Summary()),
              "Update signed by " + keyId + ", but no trusted key is set up: its origin is not checked");
    bundle = TOpenedBundle::Open(path, Trusting(pair.Public), verdict);
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(OriginLine(bundle->Summary()), "Update signed by " + keyId + " (minisign public key " + keyId + ")");
    EXPECT_EQ(verdict.TrustedComment.rfind("timestamp:", 0), 0u);
    bundle.reset();

    EXPECT_EQ(Problems(path, Trusting(other.Public)),
              Texts{"manifest.json.minisig: signed by key " + keyId + ", which is not a trusted key"});
    // The manifest changed after it was signed, its files with it.
    std::vector<ZipEntry> entries = ReadZip(path);
    ZipEntry* manifest = FindEntry(entries, "manifest.json");
    ASSERT_NE(manifest, nullptr);
    manifest->Data.replace(manifest->Data.find("Small update"), 5, "Large");
    ASSERT_TRUE(WriteZip(path, entries));
    EXPECT_EQ(Problems(path, Trusting(pair.Public)),
              Texts{"manifest.json.minisig: the signature by key " + keyId +
                    " does not verify: the manifest was altered or the signature is damaged"});
    std::erase_if(entries, [](const ZipEntry& entry) { return entry.Name == "manifest.json.minisig"; });
    ASSERT_TRUE(WriteZip(path, entries));
    EXPECT_EQ(Problems(path, Trusting(pair.Public)), Texts{": " + std::string(bundletext::NotSigned)});
    EXPECT_TRUE(temporary.Empty());
}
