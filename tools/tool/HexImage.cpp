#include "HexImage.h"

#include "hex.h"

#include <algorithm>

std::size_t HexImage::WrittenIn(std::uint16_t first, std::uint16_t last) const
{
    return static_cast<std::size_t>(std::count(Written.begin() + first, Written.begin() + last + 1, true));
}

HexImage BuildHexImage(const std::vector<std::string>& lines)
{
    HexImage image{std::vector<std::uint8_t>(HexImageSize, HexUnwrittenByte), std::vector<bool>(HexImageSize, false)};
    for (const std::string& line : lines) {
        if (line.empty() || line[0] != ':')
            continue;
        const HexRecord record = ParseHexRecord(line);
        if (record.Type == HexRecordEndOfFile)
            break;
        if (record.Type != HexRecordData)
            continue;
        const std::size_t fits = std::min(record.Data.size(), HexImageSize - record.Address);
        for (std::size_t i = 0; i < fits; ++i) {
            image.Bytes[record.Address + i] = static_cast<std::uint8_t>(record.Data[i]);
            image.Written[record.Address + i] = true;
        }
    }
    return image;
}
