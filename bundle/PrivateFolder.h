// A folder only this user may enter (mode 0700), made in the system's temporary
// folder ($TMPDIR, else /tmp) and removed with everything in it when the object
// goes, also where its content was left read-only.
#pragma once

#include <memory>
#include <string>

class TPrivateFolder {
public:
    // nullptr, with the system's reason, when none can be made.
    static std::unique_ptr<TPrivateFolder> Make(std::string& error);
    ~TPrivateFolder();
    TPrivateFolder(const TPrivateFolder&) = delete;
    TPrivateFolder& operator=(const TPrivateFolder&) = delete;

    // Without a trailing delimiter.
    const std::string& Path() const { return Folder; }

private:
    explicit TPrivateFolder(std::string folder) : Folder(std::move(folder)) {}

    std::string Folder;
};

// Leaves the tree read-only: its files 0400, its folders 0500. The updater
// keeps its own files elsewhere for a folder it may not write.
void MakeReadOnly(const std::string& folder);
