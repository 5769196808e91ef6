#include "BundleWriter.h"

#include "BundleFormat.h"
#include "BundleTexts.h"
#include "Digest.h"
#include "EntryName.h"

#include <archive.h>
#include <archive_entry.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t BlockBytes = 64 * 1024;
constexpr mode_t EntryMode = 0644;
constexpr char TemporarySuffix[] = ".XXXXXX";

struct ArchiveFree {
    void operator()(archive* writer) const { archive_write_free(writer); }
};
struct EntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

std::string ArchiveError(archive* writer)
{
    const char* text = archive_error_string(writer);
    return text != nullptr ? text : "unknown error";
}

// The archive being written to a temporary file beside the bundle, which takes
// the bundle's name only once it is complete.
class BundleFile {
public:
    BundleFile(const std::string& out, TBundleProblem& problem) : Out(out), Temporary(out + TemporarySuffix), Problem(problem) {}
    ~BundleFile()
    {
        Writer.reset();
        if (Fd >= 0)
            ::close(Fd);
        if (!Kept)
            ::unlink(Temporary.c_str());
    }
    BundleFile(const BundleFile&) = delete;
    BundleFile& operator=(const BundleFile&) = delete;

    bool Open();
    // One entry, its bytes given block by block by fill until it returns 0.
    template <class Fill>
    bool Add(const std::string& name, std::uint64_t size, Fill&& fill);
    bool Add(const std::string& name, const std::string& bytes);
    bool Finish();
    bool Fail(std::string entry, std::string reason)
    {
        Problem = {std::move(entry), std::move(reason)};
        return false;
    }

private:
    bool WriterFailed(const std::string& entry) { return Fail(entry, FillText(bundletext::NotWritten, {ArchiveError(Writer.get())})); }

    std::string Out;
    std::string Temporary;
    TBundleProblem& Problem;
    int Fd = -1;
    bool Kept = false;
    std::unique_ptr<archive, ArchiveFree> Writer;
    std::array<char, BlockBytes> Block{};
};

bool BundleFile::Open()
{
    Fd = ::mkstemp(Temporary.data());
    if (Fd < 0)
        return Fail(Out, FillText(bundletext::NotWritten, {std::strerror(errno)}));
    ::fchmod(Fd, EntryMode);
    Writer.reset(archive_write_new());
    if (archive_write_set_format_zip(Writer.get()) != ARCHIVE_OK ||
        archive_write_zip_set_compression_deflate(Writer.get()) != ARCHIVE_OK ||
        archive_write_open_fd(Writer.get(), Fd) != ARCHIVE_OK)
        return WriterFailed(Out);
    return true;
}

template <class Fill>
bool BundleFile::Add(const std::string& name, std::uint64_t size, Fill&& fill)
{
    const std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), name.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), EntryMode);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
    archive_entry_set_mtime(entry.get(), std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()), 0);
    if (archive_write_header(Writer.get(), entry.get()) != ARCHIVE_OK)
        return WriterFailed(name);
    for (;;) {
        std::size_t filled = 0;
        if (!fill(Block.data(), Block.size(), filled))
            return false;
        if (filled == 0)
            return true;
        if (archive_write_data(Writer.get(), Block.data(), filled) != static_cast<la_ssize_t>(filled))
            return WriterFailed(name);
    }
}

bool BundleFile::Add(const std::string& name, const std::string& bytes)
{
    std::size_t at = 0;
    return Add(name, bytes.size(), [&](char* block, std::size_t room, std::size_t& filled) {
        filled = std::min(room, bytes.size() - at);
        std::copy_n(bytes.data() + at, filled, block);
        at += filled;
        return true;
    });
}

bool BundleFile::Finish()
{
    if (archive_write_close(Writer.get()) != ARCHIVE_OK)
        return WriterFailed(Out);
    if (::fsync(Fd) != 0 || ::close(std::exchange(Fd, -1)) != 0 || std::rename(Temporary.c_str(), Out.c_str()) != 0)
        return Fail(Out, FillText(bundletext::NotWritten, {std::strerror(errno)}));
    Kept = true;
    return true;
}

bool Inside(const fs::path& path, const fs::path& folder)
{
    std::error_code ignored;
    const fs::path file = fs::weakly_canonical(path, ignored);
    const fs::path root = fs::weakly_canonical(folder, ignored);
    return std::mismatch(root.begin(), root.end(), file.begin(), file.end()).first == root.end();
}

}  // namespace

bool ListFolderFiles(const std::string& folder, TFolderFiles& files, TBundleProblem& problem)
{
    files = {};
    std::error_code failed;
    fs::recursive_directory_iterator entry(folder, failed);
    for (const fs::recursive_directory_iterator end; !failed && entry != end; entry.increment(failed)) {
        const std::string name = entry->path().lexically_relative(folder).generic_string();
        const fs::file_status link = entry->symlink_status(failed);
        const fs::file_status target = entry->status(failed);
        if (entry.depth() == 0 && fs::is_regular_file(target) && name == bundleformat::SettingsName) {
            files.LeftOut.push_back(FillText(bundletext::LeftOutSettings, {name}));
            continue;
        }
        if (entry.depth() == 0 && fs::is_directory(link) && name == bundleformat::ReportFolderName) {
            files.LeftOut.push_back(FillText(bundletext::LeftOutReports, {name}));
            entry.disable_recursion_pending();
            continue;
        }
        std::string why = EntryNameProblem(name);
        if (why.empty() && (name == bundleformat::ManifestName || name == bundleformat::SignatureName))
            why = bundletext::FolderReserved;
        if (why.empty() && fs::is_symlink(link) && fs::is_directory(target))
            why = bundletext::FolderLink;
        if (why.empty() && !fs::is_directory(target) && !fs::is_regular_file(target))
            why = bundletext::FolderSpecial;
        if (!why.empty()) {
            problem = {name, why};
            return false;
        }
        if (fs::is_regular_file(target))
            files.Names.push_back(name);
    }
    if (failed) {
        problem = {folder, FillText(bundletext::Unreadable, {failed.message()})};
        return false;
    }
    std::sort(files.Names.begin(), files.Names.end());
    return true;
}

bool WriteBundle(const std::string& folder, const std::vector<std::string>& names, const std::string& updateName,
                 const TMinisignSecretKey* key, const std::string& out, TManifest& manifest, TBundleProblem& problem)
{
    manifest = {};
    manifest.Format = bundleformat::FormatVersion;
    manifest.Name = updateName;
    const std::size_t ownEntries = key != nullptr ? 2 : 1;
    if (names.size() + ownEntries > bundleformat::MaxEntries) {
        problem = {{}, FillText(bundletext::TooManyEntries, {std::to_string(bundleformat::MaxEntries)})};
        return false;
    }
    if (Inside(out, folder)) {
        problem = {out, bundletext::OutputInsideFolder};
        return false;
    }
    BundleFile bundle(out, problem);
    if (!bundle.Open())
        return false;
    std::uint64_t total = 0;
    const auto withinLimit = [&](const std::string& name) {
        return total <= bundleformat::MaxUnpackedBytes ||
               bundle.Fail(name, FillText(bundletext::TooManyBytes, {std::to_string(bundleformat::MaxUnpackedBytes)}));
    };
    for (const std::string& name : names) {
        const std::string path = folder + '/' + name;
        std::ifstream file(path, std::ios::binary);
        std::error_code failed;
        const std::uintmax_t size = fs::file_size(path, failed);
        if (!file || failed)
            return bundle.Fail(name, FillText(bundletext::Unreadable, {failed ? failed.message() : std::strerror(errno)}));
        TSha256 hash;
        TManifestFile listed{name, 0, {}};
        // The entry holds the size the file had when it was listed; one that
        // shrinks meanwhile is an error, the part one grows by is not packed.
        const bool added = bundle.Add(name, size, [&](char* block, std::size_t room, std::size_t& filled) {
            const std::uint64_t left = size - listed.Size;
            file.read(block, static_cast<std::streamsize>(std::min<std::uint64_t>(room, left)));
            filled = static_cast<std::size_t>(file.gcount());
            if (file.bad())
                return bundle.Fail(name, FillText(bundletext::Unreadable, {std::strerror(errno)}));
            if (filled == 0 && left != 0)
                return bundle.Fail(name, bundletext::FileChanged);
            hash.Update(block, filled);
            listed.Size += filled;
            total += filled;
            return withinLimit(name);
        });
        if (!added)
            return false;
        listed.Sha256 = hash.HexDigest();
        manifest.Files.push_back(std::move(listed));
    }
    const std::string text = ManifestText(manifest);
    total += text.size();
    if (!withinLimit(bundleformat::ManifestName) || !bundle.Add(bundleformat::ManifestName, text))
        return false;
    if (key != nullptr) {
        const std::string comment = "timestamp:" + std::to_string(std::chrono::system_clock::to_time_t(
                                                       std::chrono::system_clock::now())) +
                                    "\tfile:" + bundleformat::ManifestName + "\thashed";
        if (!bundle.Add(bundleformat::SignatureName, SignMessage(text, *key, comment)))
            return false;
    }
    return bundle.Finish();
}
