#include "TextLineReader.h"

#include <sys/stat.h>

#include <cstring>

namespace {

constexpr std::size_t BlockSize = 64 * 1024;

}  // namespace

bool TextLineReader::Open(const std::string& path)
{
    Close();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    File.reset(std::fopen(path.c_str(), "rb"));
    if (!File)
        return false;
    if (!Block)
        Block = std::make_unique_for_overwrite<char[]>(BlockSize);
    return true;
}

void TextLineReader::OpenText(std::string_view text)
{
    Close();
    Text = text;
    InMemory = true;
}

void TextLineReader::Close()
{
    File.reset();
    Text = {};
    InMemory = false;
    TextTaken = false;
    Begin = End = nullptr;
    ReadError = false;
}

bool TextLineReader::Fill()
{
    if (InMemory) {
        if (TextTaken)
            return false;
        TextTaken = true;
        Begin = Text.data();
        End = Begin + Text.size();
        return !Text.empty();
    }
    const std::size_t filled = std::fread(Block.get(), 1, BlockSize, File.get());
    if (filled == 0)
        ReadError = std::ferror(File.get()) != 0;
    Begin = Block.get();
    End = Begin + filled;
    return filled > 0;
}

bool TextLineReader::ReadLine(std::string& line)
{
    line.clear();
    if (!IsOpen())
        return false;
    for (;;) {
        if (Begin == End && !Fill())
            return !ReadError && !line.empty();
        // The nearest line end, CR or LF, found a block of bytes at a time.
        const auto* lf = static_cast<const char*>(std::memchr(Begin, '\n', static_cast<std::size_t>(End - Begin)));
        const char* upTo = lf != nullptr ? lf : End;
        const auto* cr = static_cast<const char*>(std::memchr(Begin, '\r', static_cast<std::size_t>(upTo - Begin)));
        const char* at = cr != nullptr ? cr : upTo;
        line.append(Begin, at);
        Begin = at;
        if (at == End)
            continue;
        ++Begin;
        // A CR takes the LF right behind it, also when that LF begins the next block.
        if (*at == '\r' && (Begin != End || Fill()) && *Begin == '\n')
            ++Begin;
        return true;
    }
}

bool TextLineReader::Rewind()
{
    if (!IsOpen())
        return false;
    Begin = End = nullptr;
    TextTaken = false;
    ReadError = false;
    return InMemory || std::fseek(File.get(), 0, SEEK_SET) == 0;
}

bool ReadAllLines(TextLineReader& reader, std::vector<std::string>& lines)
{
    lines.clear();
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    if (reader.Failed()) {
        lines.clear();
        return false;
    }
    return true;
}

bool LoadTextLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    TextLineReader reader;
    return reader.Open(path) && ReadAllLines(reader, lines);
}
