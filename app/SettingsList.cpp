#include "SettingsList.h"

#include "TextLineReader.h"

#include <QSaveFile>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

constexpr char Separator = '=';

bool SameKey(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool TSettingsList::Load(const std::string& path)
{
    const bool loaded = LoadTextLines(path, Entries);
    std::error_code error;
    const auto found = std::filesystem::symlink_status(path, error).type();
    LoadedUnreadable = !loaded && found != std::filesystem::file_type::not_found;
    return loaded;
}

bool TSettingsList::Save(const std::string& path, std::string& error) const
{
    QSaveFile file(QString::fromStdString(path));
    // Writing the file in place would break the promise of leaving the old one intact.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write shows here: a buffer flushed by commit() can
    // fail (a full disk) without commit() noticing, and the truncated file would replace the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = file.errorString().toStdString();
        return false;
    }
    std::string text;
    for (const std::string& line : Entries)
        text += line + '\n';
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        error = file.error() == QFileDevice::NoError ? std::string("short write") : file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

void TSettingsList::Remove(std::string_view key)
{
    for (int index = Find(key); index >= 0; index = Find(key))
        Entries.erase(Entries.begin() + index);
}

int TSettingsList::Find(std::string_view key) const
{
    for (std::size_t index = 0; index < Entries.size(); ++index) {
        const std::string& line = Entries[index];
        const std::size_t separator = line.find(Separator);
        if (separator != std::string::npos && SameKey(std::string_view(line).substr(0, separator), key))
            return static_cast<int>(index);
    }
    return -1;
}

std::string TSettingsList::Value(std::string_view key) const
{
    const int index = Find(key);
    if (index < 0)
        return {};
    const std::string& line = Entries[static_cast<std::size_t>(index)];
    return line.substr(line.find(Separator) + 1);
}

void TSettingsList::SetValue(std::string_view key, std::string_view value)
{
    const std::string line = std::string(key) + Separator + std::string(value);
    const int index = Find(key);
    // A key already present is rewritten where it stands, also when its value was
    // empty: an appended second line would never be read, since the first one counts.
    if (index >= 0)
        Entries[static_cast<std::size_t>(index)] = line;
    else
        Entries.push_back(line);
}
