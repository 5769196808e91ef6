// What every fuzz target shares: taking its input apart, and stopping loudly
// when a property that must hold for any input does not.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Reads the input from the front, a part at a time.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : Rest(reinterpret_cast<const char*>(data), size) {}

    bool Empty() const { return Rest.empty(); }
    // The next byte; 0 once the input is used up.
    std::uint8_t Byte()
    {
        if (Rest.empty())
            return 0;
        const auto byte = static_cast<std::uint8_t>(Rest.front());
        Rest.remove_prefix(1);
        return byte;
    }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() << 8 | Byte()); }
    // The text up to the first end character, which is consumed as well; all
    // the rest when there is none.
    std::string Until(char end)
    {
        const std::size_t at = Rest.find(end);
        const std::string part(Rest.substr(0, at));
        Rest.remove_prefix(at == std::string_view::npos ? Rest.size() : at + 1);
        return part;
    }
    // The rest, cut at every separator.
    std::vector<std::string> Pieces(char separator)
    {
        std::vector<std::string> pieces;
        while (!Rest.empty())
            pieces.push_back(Until(separator));
        return pieces;
    }
    std::string All()
    {
        const std::string all(Rest);
        Rest = {};
        return all;
    }

private:
    std::string_view Rest;
};

// A fresh folder in the system's temporary folder, removed with everything in
// it when the object goes (at the end of the process for a static one).
class FuzzFolder {
public:
    FuzzFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("corvane-fuzz: no temporary folder");
            std::abort();
        }
        Folder = pattern + "/";
    }
    ~FuzzFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    // Ends with "/".
    const std::string& Path() const { return Folder; }

private:
    std::string Folder;
};

// A property every input must keep; its failure is a finding like a crash.
inline void Require(bool condition, const char* property)
{
    if (condition)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

// Lines as a text file holds them: ended by LF, by CR LF or by a lone CR.
inline std::vector<std::string> SplitTextLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}
