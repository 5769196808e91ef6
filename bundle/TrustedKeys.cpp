#include "TrustedKeys.h"

#include "BundleFormat.h"
#include "BundleTexts.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t MaxKeyFileBytes = 64 * 1024;

// The key files of a folder, in the order of their names.
bool FolderKeys(const std::string& folder, std::vector<std::string>& paths, TBundleProblem& problem)
{
    std::error_code failed;
    if (folder.empty() || !fs::exists(folder, failed))
        return true;
    std::vector<std::string> found;
    for (fs::directory_iterator entry(folder, failed), end; !failed && entry != end; entry.increment(failed)) {
        const std::string name = entry->path().filename().string();
        if (name.ends_with(bundleformat::KeyFileSuffix) && name.front() != '.' && entry->is_regular_file(failed))
            found.push_back(entry->path().string());
    }
    if (failed) {
        problem = {folder, FillText(bundletext::FolderUnreadable, {failed.message()})};
        return false;
    }
    std::sort(found.begin(), found.end());
    paths.insert(paths.end(), found.begin(), found.end());
    return true;
}

}  // namespace

TTrustSources TTrustSources::Standard(std::vector<std::string> files)
{
    TTrustSources sources;
    sources.SystemFolder = bundleformat::SystemKeyFolder;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config != nullptr && *config != '\0')
        sources.UserFolder = std::string(config) + '/' + bundleformat::UserKeyFolder;
    else if (home != nullptr && *home != '\0')
        sources.UserFolder = std::string(home) + "/.config/" + bundleformat::UserKeyFolder;
    sources.Files = std::move(files);
    return sources;
}

bool ReadKeyFile(const std::string& path, std::string& text, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    // One byte more than a key file may have tells a file that is too large.
    text.assign(MaxKeyFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        error = std::strerror(errno);
        return false;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > MaxKeyFileBytes) {
        error = FillText(bundletext::EntryTooLarge, {std::to_string(MaxKeyFileBytes)});
        return false;
    }
    return true;
}

bool LoadTrustedKeys(const TTrustSources& sources, std::vector<TTrustedKey>& keys, TBundleProblem& problem)
{
    keys.clear();
    std::vector<std::string> paths;
    if (!FolderKeys(sources.SystemFolder, paths, problem) || !FolderKeys(sources.UserFolder, paths, problem))
        return false;
    paths.insert(paths.end(), sources.Files.begin(), sources.Files.end());
    for (const std::string& path : paths) {
        std::string text;
        std::string error;
        TTrustedKey key;
        key.Path = path;
        if (!ReadKeyFile(path, text, error)) {
            problem = {path, FillText(bundletext::Unreadable, {error})};
            return false;
        }
        if (!ParsePublicKey(text, key.Key, error)) {
            problem = {path, FillText(bundletext::KeyUnreadable, {error})};
            return false;
        }
        keys.push_back(std::move(key));
    }
    return true;
}
