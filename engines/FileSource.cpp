#include "FileSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace {

class TDiskFiles final : public TFileSource {
public:
    TOpenResult Open(const std::string& path, TextLineReader& reader) const override
    {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            return errno == ENOENT || errno == ENOTDIR ? TOpenResult::Missing : TOpenResult::Unreadable;
        return reader.Open(path) ? TOpenResult::Opened : TOpenResult::Unreadable;
    }
};

}  // namespace

const TFileSource& DiskFiles()
{
    static const TDiskFiles disk;
    return disk;
}

TFileSource::TOpenResult TMemoryFiles::Open(const std::string& path, TextLineReader& reader) const
{
    reader.Close();
    if (Unreadable.count(path) != 0)
        return TOpenResult::Unreadable;
    const auto file = Files.find(path);
    if (file == Files.end())
        return TOpenResult::Missing;
    reader.OpenText(file->second);
    return TOpenResult::Opened;
}

bool LoadTextLines(const TFileSource& files, const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    TextLineReader reader;
    return files.Open(path, reader) == TFileSource::TOpenResult::Opened && ReadAllLines(reader, lines);
}

TFileSource::TOpenResult TFileSource::OpenNamed(const std::string& folder, const std::string& name,
                                                TextLineReader& reader) const
{
    if (!Admits(folder, name)) {
        reader.Close();
        return TOpenResult::Outside;
    }
    return Open(folder + name, reader);
}

bool TFileSource::Admits(const std::string&, const std::string&) const { return true; }

TConfinedFiles::TConfinedFiles(const TFileSource& files, std::string root) : Files(files), Root(std::move(root))
{
    if (Root.empty() || Root.back() != '/')
        Root += '/';
}

// Taken part by part as the file system resolves it: a ".." below the root
// leaves it even when a later part comes back in. The update holds no links
// (a bundle refuses them), so the names alone decide.
bool TConfinedFiles::Admits(const std::string& folder, const std::string& name) const
{
    if ((!name.empty() && name.front() == '/') || folder.compare(0, Root.size(), Root) != 0)
        return false;
    const std::string below = folder.substr(Root.size()) + name;
    std::size_t depth = 0;
    std::size_t start = 0;
    while (start <= below.size()) {
        const std::size_t end = std::min(below.find('/', start), below.size());
        const std::string_view part = std::string_view(below).substr(start, end - start);
        if (part == "..") {
            if (depth == 0)
                return false;
            --depth;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return true;
}

TFileSource::TOpenResult LoadNamedLines(const TFileSource& files, const std::string& folder, const std::string& name,
                                        std::vector<std::string>& lines)
{
    lines.clear();
    TextLineReader reader;
    const TFileSource::TOpenResult opened = files.OpenNamed(folder, name, reader);
    if (opened != TFileSource::TOpenResult::Opened)
        return opened;
    if (!ReadAllLines(reader, lines)) {
        lines.clear();
        return TFileSource::TOpenResult::Unreadable;
    }
    return opened;
}
