#include "TextLineReader.h"

#include <sys/stat.h>

bool TextLineReader::Open(const std::string& path)
{
    Close();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    File.reset(std::fopen(path.c_str(), "rb"));
    return File != nullptr;
}

void TextLineReader::Close()
{
    File.reset();
    ReadError = false;
}

bool TextLineReader::ReadLine(std::string& line)
{
    line.clear();
    if (!File)
        return false;
    std::FILE* file = File.get();
    for (;;) {
        const int c = getc_unlocked(file);
        if (c == EOF) {
            ReadError = std::ferror(file) != 0;
            return !ReadError && !line.empty();
        }
        if (c == '\n')
            return true;
        if (c == '\r') {
            const int next = getc_unlocked(file);
            if (next != '\n' && next != EOF)
                std::ungetc(next, file);
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
}

bool TextLineReader::Rewind()
{
    if (!File)
        return false;
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
