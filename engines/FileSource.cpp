#include "FileSource.h"

#include <sys/stat.h>

#include <cerrno>

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
