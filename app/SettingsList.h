// The settings file as a list of KEY=VALUE lines.
//
// The whole file is kept from loading to saving, so lines the program does not
// use (comments, other keys) are written back unchanged and in place. A key is
// the name before the first "=" of a line, found without regard to letter case;
// the first line of a key counts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TSettingsList {
public:
    // False (and no lines) when the file cannot be read.
    bool Load(const std::string& path);
    // The last Load found a file (or something else) at the path but could not
    // read it: its settings were never seen.
    bool Unreadable() const { return LoadedUnreadable; }
    // Replaces the file as a whole: a temporary file beside it is written and then
    // renamed over it, so a failure leaves the old file as it was. False, with the
    // reason, on any failure.
    bool Save(const std::string& path, std::string& error) const;

    // The text after the first "=" of the key's line; empty when there is none.
    std::string Value(std::string_view key) const;
    // Replaces the value of the key's line in place, or appends KEY=VALUE.
    void SetValue(std::string_view key, std::string_view value);
    // Removes every line of the key.
    void Remove(std::string_view key);

    const std::vector<std::string>& Lines() const { return Entries; }

private:
    // Index of the key's line, or -1.
    int Find(std::string_view key) const;

    std::vector<std::string> Entries;
    bool LoadedUnreadable = false;
};
