// Small text helpers shared by the engines, the translator and the application.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Removes blanks and control characters (every character up to code 32) at the ends.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

bool StartsWith(std::string_view text, std::string_view prefix);

// A character from " " to "~": what a reply carrying text can begin with.
inline bool IsPrintable(char c) { return c >= ' ' && c <= '~'; }

// The text as it may go to a terminal or a log: every control character but
// the line break, and DEL, becomes "\x" and two hexadecimal digits ("\x1b"),
// so bytes from the card or an update file cannot move the cursor, clear the
// screen or forge a line of their own.
std::string ControlsEscaped(std::string_view text);

// The pattern with each "%s" replaced by the next argument, in one pass: a "%s"
// that an argument brings along is printed as it is. A "%s" left without an
// argument stays.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);
inline std::string FormatText(std::string_view pattern, std::string_view arg) { return FormatText(pattern, {arg}); }

// The standard integer text conversion: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x" or "0x" (x in either
// case); the whole text must convert. Hexadecimal values may use all 64 bits.
bool StrToInt64(std::string_view text, std::int64_t& value);
// As StrToInt64, within the signed 32-bit range; hexadecimal values up to
// FFFFFFFF are accepted and read as their two's-complement value.
bool StrToInt32(std::string_view text, std::int32_t& value);
