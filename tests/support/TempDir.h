// A fresh folder for one test, removed with everything in it at the end.
#pragma once

#include <string>
#include <string_view>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending with "/".
    const std::string& Path() const { return Dir; }
    // Writes a file below the folder (creating sub-folders) and returns its path.
    std::string Write(std::string_view name, std::string_view content) const;

private:
    std::string Dir;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
