// The IPv4 addresses a search of the LAN probes, as the operator writes them:
//
//   192.168.0.0/24     a network, prefix length 22 to 32 (its network and
//                      broadcast addresses are left out up to /30)
//   192.168.0.10-40    the last part from 10 to 40
//
// Parts are decimal numbers 0 to 255 without sign or blanks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace AddressRange {

inline constexpr int ShortestPrefix = 22;
inline constexpr std::size_t MaxAddresses = 1024;

// The addresses in order; false when text is no range.
bool Parse(std::string_view text, std::vector<std::uint32_t>& addresses);
// "192.168.0.12".
std::string Text(std::uint32_t address);

}  // namespace AddressRange
