#include "ArchiveReader.h"

#include "BundleFormat.h"
#include "BundleTexts.h"
#include "Digest.h"
#include "EntryName.h"
#include "FileDescriptor.h"

#include <archive.h>
#include <archive_entry.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

namespace {

constexpr std::size_t BlockBytes = 64 * 1024;
constexpr char Delimiter = '/';
constexpr mode_t FileMode = 0600;

struct ArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using Archive = std::unique_ptr<archive, ArchiveFree>;

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string ArchiveError(archive* reader)
{
    const char* text = archive_error_string(reader);
    return text != nullptr ? text : "unknown error";
}

// The entries and their bytes as they are read, with the names already taken.
// A survey checks every entry's name and kind and reads no bytes.
class Unpacker {
public:
    Unpacker(archive* reader, bool survey, const std::string& folder, const TBundleLimits& limits,
             TArchiveContents& contents, TBundleProblem& problem)
        : Reader(reader), Survey(survey), Folder(folder), Limits(limits), Contents(contents), Problem(problem)
    {
    }

    bool Next(bool& end);

private:
    bool Fail(std::string entry, std::string reason)
    {
        Problem = {std::move(entry), std::move(reason)};
        return false;
    }
    // The entry's name without the "/" that ends a folder's; false when it cannot be one.
    bool EntryName(archive_entry* entry, bool folder, std::string& name);
    bool TakeName(const std::string& name, bool folder);
    // Each block of the entry's bytes, counted against the limit; false at the first problem.
    template <class Sink>
    bool ReadData(const std::string& name, Sink&& sink);
    bool KeepInMemory(const std::string& name, std::size_t limit, std::optional<std::string>& into);
    bool Unpack(const std::string& name);
    std::string Below(const std::string& name) const { return Folder + Delimiter + name; }

    archive* Reader;
    bool Survey;
    const std::string& Folder;
    const TBundleLimits& Limits;
    TArchiveContents& Contents;
    TBundleProblem& Problem;
    std::size_t Entries = 0;
    std::uint64_t Declared = 0;
    std::uint64_t Unpacked = 0;
    std::set<std::string> EntryNames;
    std::set<std::string> FileNames;
    // Named by an entry of their own or by the path of one.
    std::set<std::string> FolderNames;
    std::array<char, BlockBytes> Block{};
};

bool Unpacker::EntryName(archive_entry* entry, bool folder, std::string& name)
{
    const char* raw = archive_entry_pathname(entry);
    if (raw == nullptr)
        raw = archive_entry_pathname_utf8(entry);
    if (raw == nullptr)
        return Fail({}, FillText(bundletext::NameUnreadable, {ArchiveError(Reader)}));
    name = raw;
    if (folder)
        while (name.size() > 1 && name.back() == Delimiter)
            name.pop_back();
    const std::string problem = EntryNameProblem(name);
    return problem.empty() || Fail(name, problem);
}

bool Unpacker::TakeName(const std::string& name, bool folder)
{
    if (!EntryNames.insert(name).second)
        return Fail(name, bundletext::EntryTwice);
    if (name == bundleformat::SettingsName)
        return Fail(name, bundletext::EntrySettings);
    if (folder ? FileNames.count(name) != 0 : FolderNames.count(name) != 0)
        return Fail(name, bundletext::EntryFileAndFolder);
    for (std::size_t slash = name.find(Delimiter); slash != std::string::npos; slash = name.find(Delimiter, slash + 1)) {
        const std::string parent = name.substr(0, slash);
        if (FileNames.count(parent) != 0)
            return Fail(name, bundletext::EntryFileAndFolder);
        FolderNames.insert(parent);
    }
    (folder ? FolderNames : FileNames).insert(name);
    return true;
}

template <class Sink>
bool Unpacker::ReadData(const std::string& name, Sink&& sink)
{
    for (;;) {
        const la_ssize_t read = archive_read_data(Reader, Block.data(), Block.size());
        if (read == 0)
            return true;
        if (read < 0)
            return Fail(name, FillText(bundletext::EntryDamaged, {ArchiveError(Reader)}));
        Unpacked += static_cast<std::uint64_t>(read);
        if (Unpacked > Limits.UnpackedBytes)
            return Fail(name, FillText(bundletext::TooManyBytes, {std::to_string(Limits.UnpackedBytes)}));
        if (!sink(Block.data(), static_cast<std::size_t>(read)))
            return false;
    }
}

bool Unpacker::KeepInMemory(const std::string& name, std::size_t limit, std::optional<std::string>& into)
{
    std::string bytes;
    const bool read = ReadData(name, [&](const char* data, std::size_t size) {
        if (bytes.size() + size > limit)
            return Fail(name, FillText(bundletext::EntryTooLarge, {std::to_string(limit)}));
        bytes.append(data, size);
        return true;
    });
    into = std::move(bytes);
    return read;
}

bool Unpacker::Unpack(const std::string& name)
{
    std::error_code failed;
    const std::size_t slash = name.rfind(Delimiter);
    if (slash != std::string::npos)
        std::filesystem::create_directories(Below(name.substr(0, slash)), failed);
    if (failed)
        return Fail(name, FillText(bundletext::EntryNotUnpacked, {failed.message()}));
    TFileDescriptor file(::open(Below(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, FileMode));
    if (file.Get() < 0)
        return Fail(name, FillText(bundletext::EntryNotUnpacked, {std::strerror(errno)}));
    TSha256 hash;
    TUnpackedFile& unpacked = Contents.Files[name];
    const bool read = ReadData(name, [&](const char* data, std::size_t size) {
        hash.Update(data, size);
        unpacked.Size += size;
        return WriteAll(file.Get(), data, size) || Fail(name, FillText(bundletext::EntryNotUnpacked, {std::strerror(errno)}));
    });
    if (!read)
        return false;
    if (!file.Close())
        return Fail(name, FillText(bundletext::EntryNotUnpacked, {std::strerror(errno)}));
    unpacked.Sha256 = hash.HexDigest();
    return true;
}

bool Unpacker::Next(bool& end)
{
    archive_entry* entry = nullptr;
    const int header = archive_read_next_header(Reader, &entry);
    end = header == ARCHIVE_EOF;
    if (end)
        return true;
    if (header != ARCHIVE_OK) {
        const char* raw = entry != nullptr ? archive_entry_pathname(entry) : nullptr;
        return Fail(raw != nullptr ? raw : "", FillText(bundletext::NotAnArchive, {ArchiveError(Reader)}));
    }
    if (++Entries > Limits.Entries)
        return Fail({}, FillText(bundletext::TooManyEntries, {std::to_string(Limits.Entries)}));
    const mode_t type = archive_entry_filetype(entry);
    const bool folder = type == AE_IFDIR;
    std::string name;
    if (!EntryName(entry, folder, name))
        return false;
    if (archive_entry_hardlink(entry) != nullptr)
        return Fail(name, bundletext::EntryHardLink);
    if (type == AE_IFLNK)
        return Fail(name, bundletext::EntrySymlink);
    if (!folder && type != AE_IFREG)
        return Fail(name, bundletext::EntrySpecial);
    if (archive_entry_is_encrypted(entry))
        return Fail(name, bundletext::EntryEncrypted);
    if (!TakeName(name, folder))
        return false;
    // What the headers declare is not trusted to be small, only to be large.
    if (!folder && archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0)
        Declared += static_cast<std::uint64_t>(archive_entry_size(entry));
    if (Declared > Limits.UnpackedBytes)
        return Fail(name, FillText(bundletext::DeclaresTooManyBytes, {std::to_string(Limits.UnpackedBytes)}));
    if (Survey)
        return true;
    if (folder) {
        std::error_code failed;
        std::filesystem::create_directories(Below(name), failed);
        return !failed || Fail(name, FillText(bundletext::EntryNotUnpacked, {failed.message()}));
    }
    if (name == bundleformat::ManifestName)
        return KeepInMemory(name, bundleformat::MaxManifestBytes, Contents.Manifest);
    if (name == bundleformat::SignatureName)
        return KeepInMemory(name, bundleformat::MaxSignatureBytes, Contents.Signature);
    return Unpack(name);
}

}  // namespace

bool UnpackArchive(int fd, const std::string& folder, const TBundleLimits& limits, TArchiveContents& contents,
                   TBundleProblem& problem)
{
    contents = {};
    // A first pass over the entries, which reads no data, refuses an archive
    // with a bad entry before anything is written. The second pass checks
    // every entry again as it unpacks it: the file may have changed between.
    for (const bool survey : {true, false}) {
        if (::lseek(fd, 0, SEEK_SET) != 0) {
            problem = {{}, FillText(bundletext::Unreadable, {std::strerror(errno)})};
            return false;
        }
        const Archive reader(archive_read_new());
        // The central directory is the archive's index: entries it does not list
        // are not read, and an archive without one (cut short) is refused.
        archive_read_support_format_zip_seekable(reader.get());
        if (archive_read_open_fd(reader.get(), fd, BlockBytes) != ARCHIVE_OK) {
            problem = {{}, FillText(bundletext::NotAnArchive, {ArchiveError(reader.get())})};
            return false;
        }
        Unpacker unpacker(reader.get(), survey, folder, limits, contents, problem);
        for (bool end = false; !end;)
            if (!unpacker.Next(end))
                return false;
    }
    return true;
}
