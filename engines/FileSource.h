// Where the engines and the plan of an update read the files an update names:
// the scripts, HEX images and effect files. A run reads them from the disk; a
// test or a fuzzer can hand over the same files from memory. A bundle's run
// reads them through TConfinedFiles: its lines may name only its own files.
#pragma once

#include "TextLineReader.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class TFileSource {
public:
    // Outside: the name is absolute or leaves the update's folder, where the
    // source keeps an update to its folder; nothing was looked at.
    enum class TOpenResult { Opened, Missing, Unreadable, Outside };

    virtual ~TFileSource() = default;
    // Opens the file at path in reader. Missing: nothing is there; Unreadable:
    // something is there that cannot be read as a file (a folder, no permission).
    virtual TOpenResult Open(const std::string& path, TextLineReader& reader) const = 0;
    // Opens the file an operation line names, name as the line gives it, in
    // folder (ending with "/"). Every file an engine reads comes this way.
    TOpenResult OpenNamed(const std::string& folder, const std::string& name, TextLineReader& reader) const;

protected:
    // Whether a line may name name in folder; every name by default.
    virtual bool Admits(const std::string& folder, const std::string& name) const;
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

// The files of another source where the names an update's lines give stay
// inside one folder: not absolute, and no ".." that climbs above it. A bundle
// is checked against its manifest and signature; a name that leaves it would
// send the card a file that nothing checked.
class TConfinedFiles final : public TFileSource {
public:
    // root: the update's folder, with or without its trailing delimiter.
    TConfinedFiles(const TFileSource& files, std::string root);

    TOpenResult Open(const std::string& path, TextLineReader& reader) const override { return Files.Open(path, reader); }

protected:
    bool Admits(const std::string& folder, const std::string& name) const override;

private:
    const TFileSource& Files;
    std::string Root;  // with its trailing delimiter
};

// The lines of the file; false (and no lines) when it cannot be read.
bool LoadTextLines(const TFileSource& files, const std::string& path, std::vector<std::string>& lines);
// The lines of the file an operation line names; Opened when all were read,
// Unreadable when reading failed part-way (and no lines unless Opened).
TFileSource::TOpenResult LoadNamedLines(const TFileSource& files, const std::string& folder, const std::string& name,
                                        std::vector<std::string>& lines);
