#include "TextLineReader.h"

#include <sys/stat.h>

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
    Block.resize(BlockSize);
    return true;
}

void TextLineReader::Close()
{
    File.reset();
    Next = 0;
    Filled = 0;
    ReadError = false;
}

bool TextLineReader::Fill()
{
    Next = 0;
    Filled = std::fread(Block.data(), 1, Block.size(), File.get());
    if (Filled == 0)
        ReadError = std::ferror(File.get()) != 0;
    return Filled > 0;
}

bool TextLineReader::ReadLine(std::string& line)
{
    line.clear();
    if (!File)
        return false;
    for (;;) {
        if (Next == Filled && !Fill())
            return !ReadError && !line.empty();
        const char* const begin = Block.data() + Next;
        const char* const end = Block.data() + Filled;
        const char* at = begin;
        while (at != end && *at != '\n' && *at != '\r')
            ++at;
        line.append(begin, at);
        Next += static_cast<std::size_t>(at - begin);
        if (at == end)
            continue;
        ++Next;
        // A CR takes the LF right behind it, also when that LF begins the next block.
        if (*at == '\r' && (Next < Filled || Fill()) && Block[Next] == '\n')
            ++Next;
        return true;
    }
}

bool TextLineReader::Rewind()
{
    if (!File)
        return false;
    Next = 0;
    Filled = 0;
    ReadError = false;
    return std::fseek(File.get(), 0, SEEK_SET) == 0;
}

bool LoadTextLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    TextLineReader reader;
    if (!reader.Open(path))
        return false;
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    if (reader.Failed()) {
        lines.clear();
        return false;
    }
    return true;
}
