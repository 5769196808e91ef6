// The words of SVF that the translator and the converter both read: statement
// and field keywords, units and punctuation, all upper case as statements
// are written, and how hex values are measured.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace svf {

inline constexpr std::string_view Comment = "//";
inline constexpr std::string_view Trst = "TRST";
inline constexpr std::string_view EndIr = "ENDIR";
inline constexpr std::string_view EndDr = "ENDDR";
inline constexpr std::string_view State = "STATE";
inline constexpr std::string_view RunTest = "RUNTEST";
inline constexpr std::string_view Sir = "SIR";
inline constexpr std::string_view Sdr = "SDR";
inline constexpr std::string_view Tdi = "TDI";
inline constexpr std::string_view Tdo = "TDO";
inline constexpr std::string_view Mask = "MASK";
inline constexpr std::string_view Smask = "SMASK";
inline constexpr std::string_view Tck = "TCK";
inline constexpr char StatementEnd = ';';
inline constexpr char GroupOpen = '(';
inline constexpr char GroupClose = ')';

// The text with the letters a to z made capitals; nothing else changes.
std::string UpperCase(std::string_view text);

// How many bits a hex value needs, its digits written most significant first:
// leading zeros need none. Characters that are no hex digits read as 0.
std::size_t SignificantBits(std::string_view digits);

}  // namespace svf
