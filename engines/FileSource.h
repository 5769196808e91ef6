// Where the engines and the plan of an update read the files an update names:
// the scripts, HEX images and effect files. A run reads them from the disk; a
// test or a fuzzer can hand over the same files from memory.
#pragma once

#include "TextLineReader.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class TFileSource {
public:
    enum class TOpenResult { Opened, Missing, Unreadable };

    virtual ~TFileSource() = default;
    // Opens the file at path in reader. Missing: nothing is there; Unreadable:
    // something is there that cannot be read as a file (a folder, no permission).
    virtual TOpenResult Open(const std::string& path, TextLineReader& reader) const = 0;
};

// The files of the disk.
const TFileSource& DiskFiles();

// Files held in memory by their full path.
class TMemoryFiles final : public TFileSource {
public:
    void Write(const std::string& path, std::string text) { Files[path] = std::move(text); }
    // Something is at path that cannot be read.
    void MakeUnreadable(const std::string& path) { Unreadable.insert(path); }

    TOpenResult Open(const std::string& path, TextLineReader& reader) const override;

private:
    std::map<std::string, std::string> Files;
    std::set<std::string> Unreadable;
};

// The lines of the file; false (and no lines) when it cannot be read.
bool LoadTextLines(const TFileSource& files, const std::string& path, std::vector<std::string>& lines);
