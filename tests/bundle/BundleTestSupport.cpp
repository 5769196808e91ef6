#include "BundleTestSupport.h"

#include "FindProgram.h"
#include "RunProcess.h"

#include <archive.h>
#include <archive_entry.h>


#include <array>
#include <fstream>
#include <memory>

namespace {

constexpr std::size_t BlockBytes = 1 << 20;

}  // namespace

std::vector<ZipEntry> ReadZip(const std::string& path)
{
    std::vector<ZipEntry> entries;
    const std::unique_ptr<archive, int (*)(archive*)> reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), path.c_str(), BlockBytes) != ARCHIVE_OK)
        return {};
    archive_entry* header = nullptr;
    while (archive_read_next_header(reader.get(), &header) == ARCHIVE_OK) {
        ZipEntry entry{archive_entry_pathname(header), {}, archive_entry_filetype(header), {}, 0};
        std::array<char, 4096> block{};
        for (la_ssize_t read; (read = archive_read_data(reader.get(), block.data(), block.size())) > 0;)
            entry.Data.append(block.data(), static_cast<std::size_t>(read));
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries, const std::string& passphrase)
{
    const std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(writer.get());
    if (!passphrase.empty() && (archive_write_set_options(writer.get(), "zip:encryption=zipcrypt") != ARCHIVE_OK ||
                                archive_write_set_passphrase(writer.get(), passphrase.c_str()) != ARCHIVE_OK))
        return false;
    if (archive_write_open_filename(writer.get(), path.c_str()) != ARCHIVE_OK)
        return false;
    const std::string zeros(BlockBytes, '\0');
    for (const ZipEntry& item : entries) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), item.Name.c_str());
        archive_entry_set_filetype(entry.get(), item.Type);
        archive_entry_set_perm(entry.get(), 0644);
        if (!item.Target.empty())
            archive_entry_set_symlink(entry.get(), item.Target.c_str());
        if (item.Zeros == 0)
            archive_entry_set_size(entry.get(), static_cast<la_int64_t>(item.Data.size()));
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK)
            return false;
        if (item.Zeros == 0) {
            if (!item.Data.empty() && archive_write_data(writer.get(), item.Data.data(), item.Data.size()) < 0)
                return false;
            continue;
        }
        for (std::uint64_t left = item.Zeros; left > 0;) {
            const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
            if (archive_write_data(writer.get(), zeros.data(), size) < 0)
                return false;
            left -= size;
        }
    }
    return archive_write_close(writer.get()) == ARCHIVE_OK;
}

namespace {

// Sets the 4 bytes at offset in the central directory header of the entry of
// that name (little-endian); makerIsUnix marks the entry as made on Unix.
bool SetCentralField(const std::string& path, const std::string& name, std::size_t offset, std::uint32_t value,
                     bool makerIsUnix)
{
    // A central directory header: its signature, at 5 the system that made it,
    // at 28 the length of the name, at 46 the name.
    constexpr char Signature[] = "PK\x01\x02";
    constexpr std::size_t MakerAt = 5;
    constexpr std::size_t NameLengthAt = 28;
    constexpr std::size_t NameAt = 46;
    constexpr char Unix = 3;
    std::string bytes = ReadFile(path);
    const auto number = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    for (std::size_t at = bytes.find(Signature); at != std::string::npos; at = bytes.find(Signature, at + 1)) {
        if (at + NameAt > bytes.size() || number(at + NameLengthAt) != name.size() ||
            bytes.compare(at + NameAt, name.size(), name) != 0)
            continue;
        for (std::size_t byte = 0; byte < 4; ++byte)
            bytes[at + offset + byte] = static_cast<char>(value >> (8 * byte));
        if (makerIsUnix)
            bytes[at + MakerAt] = Unix;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return true;
    }
    return false;
}

}  // namespace

bool SetUnixMode(const std::string& path, const std::string& name, std::uint32_t mode)
{
    constexpr std::size_t ExternalAttributesAt = 38;
    return SetCentralField(path, name, ExternalAttributesAt, mode << 16, true);
}

bool SetDeclaredSize(const std::string& path, const std::string& name, std::uint32_t size)
{
    constexpr std::size_t UnpackedSizeAt = 24;
    return SetCentralField(path, name, UnpackedSizeAt, size, false);
}

ZipEntry* FindEntry(std::vector<ZipEntry>& entries, const std::string& name)
{
    for (ZipEntry& entry : entries)
        if (entry.Name == name)
            return &entry;
    return nullptr;
}

bool MakeMinisignKeys(const TempDir& dir, const std::string& name, KeyPair& keys)
{
    const std::string minisign = FindProgram("minisign");
    if (minisign.empty())
        return false;
    keys = {dir.Path() + name + ".pub", dir.Path() + name + ".key"};
    return RunProcess({minisign, "-G", "-W", "-p", keys.Public, "-s", keys.Secret}).ExitCode == 0;
}
