// Bundles of any content opened as the updater opens them: the archive read
// entry by entry into a private folder, the manifest read and compared with
// the files, the signature checked.
//
// The limits are small, so that inputs reach them. Input: a first byte; bit 1 set trusts one fixed key. With bit 0 clear, the
// rest is the bundle's file as it is. With bit 0 set, the rest is pieces ended
// by zero bytes: manifest.json, manifest.json.minisig (none when empty), then
// pairs of an entry's name and its bytes, packed here into a ZIP archive whose
// entries are stored, so the manifest and the names are what is fuzzed.
#include "FuzzSupport.h"

#include "Bundle.h"

#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

constexpr std::uint8_t PiecesFlag = 1;
constexpr std::uint8_t TrustFlag = 2;
constexpr unsigned char KeySeedByte = 0x42;
// Limits an input of the fuzzer's size can reach.
constexpr TBundleLimits Limits{100, 1 << 20};

const FuzzFolder& Folder()
{
    static const FuzzFolder folder;
    return folder;
}

std::string Temporary() { return Folder().Path() + "tmp"; }

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

void WriteArchive(const std::string& path, const std::vector<std::string>& pieces)
{
    const std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(writer.get());
    archive_write_zip_set_compression_store(writer.get());
    archive_write_open_filename(writer.get(), path.c_str());
    const auto add = [&](const std::string& name, const std::string& bytes) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
        if (archive_write_header(writer.get(), entry.get()) == ARCHIVE_OK && !bytes.empty())
            archive_write_data(writer.get(), bytes.data(), bytes.size());
    };
    add("manifest.json", pieces.empty() ? std::string() : pieces[0]);
    if (pieces.size() > 1 && !pieces[1].empty())
        add("manifest.json.minisig", pieces[1]);
    for (std::size_t at = 2; at + 1 < pieces.size(); at += 2)
        add(pieces[at], pieces[at + 1]);
    archive_write_close(writer.get());
}

std::vector<TTrustedKey> FixedKey()
{
    TTrustedKey key;
    std::array<unsigned char, crypto_sign_SEEDBYTES> seed{};
    seed.fill(KeySeedByte);
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret{};
    crypto_sign_seed_keypair(key.Key.Key.data(), secret.data(), seed.data());
    key.Key.Id.fill(KeySeedByte);
    key.Key.Comment = "fuzz key";
    return {key};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::create_directories(Temporary());
    ::setenv("TMPDIR", Temporary().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<TTrustedKey> key = FixedKey();
    FuzzInput input(data, size);
    const std::uint8_t mode = input.Byte();
    const std::string path = Folder().Path() + "bundle.zip";
    if ((mode & PiecesFlag) != 0)
        WriteArchive(path, input.Pieces('\0'));
    else
        WriteFile(path, input.All());

    TBundleVerdict verdict;
    std::unique_ptr<TOpenedBundle> bundle =
        TOpenedBundle::Open(path, (mode & TrustFlag) != 0 ? key : std::vector<TTrustedKey>{}, verdict, Limits);
    Require(!bundle == !verdict.Valid(), "a bundle opens exactly when nothing is wrong with it");
    for (const TBundleProblem& problem : verdict.Problems)
        Require(!problem.Reason.empty(), "a problem says what is wrong");
    if (bundle) {
        const std::string folder = bundle->Folder() + "/";
        Require(folder.starts_with(Temporary() + "/"), "a bundle is unpacked in the temporary folder");
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            files += entry.is_regular_file() ? 1 : 0;
        Require(files == verdict.Manifest.Files.size(), "the unpacked files are the manifest's");
        for (const TManifestFile& file : verdict.Manifest.Files)
            Require(std::filesystem::file_size(folder + file.Path) == file.Size, "each file has its listed size");
        Require(!OriginLine(bundle->Summary()).empty(), "an update says where it comes from");
        bundle.reset();
    }
    Require(std::filesystem::is_empty(Temporary()), "nothing of a bundle is left once it is closed or refused");
    return 0;
}
