#include "PrivateFolder.h"

#include "BundleFormat.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Every folder and file below root, parents before their content.
std::vector<fs::path> Tree(const fs::path& root)
{
    std::vector<fs::path> tree;
    std::error_code ignored;
    for (fs::recursive_directory_iterator entry(root, ignored), end; entry != end; entry.increment(ignored))
        tree.push_back(entry->path());
    return tree;
}

}  // namespace

std::unique_ptr<TPrivateFolder> TPrivateFolder::Make(std::string& error)
{
    std::error_code failed;
    const fs::path base = fs::temp_directory_path(failed);
    if (failed) {
        error = failed.message();
        return nullptr;
    }
    std::string pattern = (base / bundleformat::PrivateFolderPattern).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<TPrivateFolder>(new TPrivateFolder(pattern));
}

// Each folder is opened up before the walk enters it.
TPrivateFolder::~TPrivateFolder()
{
    std::error_code ignored;
    fs::permissions(Folder, fs::perms::owner_all, ignored);
    for (fs::recursive_directory_iterator entry(Folder, ignored), end; entry != end; entry.increment(ignored))
        if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
            fs::permissions(entry->path(), fs::perms::owner_all, ignored);
    fs::remove_all(Folder, ignored);
}

// The tree is read while it is still open; the folders close deepest first.
void MakeReadOnly(const std::string& folder)
{
    const std::vector<fs::path> tree = Tree(folder);
    std::error_code ignored;
    for (auto path = tree.rbegin(); path != tree.rend(); ++path) {
        const fs::file_status status = fs::symlink_status(*path, ignored);
        if (fs::is_directory(status))
            fs::permissions(*path, fs::perms::owner_read | fs::perms::owner_exec, ignored);
        else if (fs::is_regular_file(status))
            fs::permissions(*path, fs::perms::owner_read, ignored);
    }
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, ignored);
}
