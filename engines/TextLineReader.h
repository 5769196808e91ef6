// Reads a text one line at a time without holding it in memory: a file, read
// in blocks, or a text already in memory.
//
// A line ends at CR LF, at a lone CR or at a lone LF; the line end is not part
// of the line. A final line without line end counts; no empty line follows a
// final line end. Bytes are passed on unchanged (no character-set conversion).
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TextLineReader {
public:
    TextLineReader() = default;
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // False when the path names no regular file or it cannot be opened.
    bool Open(const std::string& path);
    // Reads the text itself, which must stay as it is while the reader uses it.
    void OpenText(std::string_view text);
    void Close();
    bool IsOpen() const { return File != nullptr || InMemory; }

    // False at the end of the file or on a read error (see Failed).
    bool ReadLine(std::string& line);
    bool Rewind();
    bool Failed() const { return ReadError; }

private:
    // The next part of the text between Begin and End; false at its end. The
    // file is read in blocks and lines are cut out of the block: byte by byte
    // reading costs more than the rest of an effect-file play together.
    bool Fill();

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> File;
    // Left as it is allocated: a file is read into it before any byte is used.
    std::unique_ptr<char[]> Block;
    std::string_view Text;  // the whole text of a reader in memory
    bool InMemory = false;
    bool TextTaken = false;
    const char* Begin = nullptr;  // the part of the text not taken yet
    const char* End = nullptr;
    bool ReadError = false;
};

// Every line of an open reader; false (and no lines) on a read error.
bool ReadAllLines(TextLineReader& reader, std::vector<std::string>& lines);

// Loads a whole text file as lines; false (and no lines) when it cannot be read.
bool LoadTextLines(const std::string& path, std::vector<std::string>& lines);
