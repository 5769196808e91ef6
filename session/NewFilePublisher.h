// TNewFilePublisher: gives files their final names in a folder without ever
// replacing a file that is there, on any file system.
//
// Each file is written in full under a temporary name first, so nobody sees it
// half written, then given its name by a hard link, which fails when the name is
// taken. USB sticks (FAT, exFAT) and network shares refuse hard links: there the
// temporary file is renamed without replacing, and where that is refused too the
// final name is created exclusively and written again. Files published together
// (the JSON and the log of one run) share one base name: when any of them finds
// its name taken, those already published go and the next suffix is tried.
//
// Paths are bytes: a folder whose name is not UTF-8 works like any other.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TNewFilePublisher {
public:
    struct TFile {
        std::string Extension;  // ".json"
        std::string Content;
    };

    // base, base-2, ... base-MaxSuffix: past that the folder is taken to be full of runs.
    static constexpr int MaxSuffix = 1000;

    // The three ways of giving a complete file its name, each 0 or an errno value.
    // Replaceable, so that tests can refuse them as a file system without them does.
    std::function<int(const std::string& from, const std::string& to)> Link;
    std::function<int(const std::string& from, const std::string& to)> RenameNoReplace;
    std::function<int(const std::string& to, const std::string& content)> CreateExclusive;

    TNewFilePublisher();

    // Publishes every file as base + suffix + extension, in the folder base
    // names; paths receives the names given. False with the reason (the file or
    // folder, " : ", then why) when they could not all be published; nothing is
    // left behind then.
    bool Publish(const std::string& base, const std::vector<TFile>& files, std::vector<std::string>& paths,
                 std::string& failure) const;

private:
    // Gives the complete temporary file the name path: 0, EEXIST when the name is
    // taken, or why it failed. moved: the temporary file has become path.
    int Place(const std::string& temporary, const std::string& path, const std::string& content, bool& moved) const;
};
