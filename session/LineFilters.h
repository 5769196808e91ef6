// Filters that turn script lines into remarks before or during a run.
//
// A filter replaces the whole line by "rem" in the loaded list; the script
// files themselves are never written. Lines are matched by their text with
// blanks and control characters removed at both ends.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Every line that begins with one of the prefixes becomes "rem".
void RemarkLines(std::vector<std::string>& lines, std::initializer_list<std::string_view> prefixes);

// The programming and version lines of one component: "P" or "V" followed by
// the component's upper-case hexadecimal digit.
void RemarkComponentLines(std::vector<std::string>& lines, unsigned component);

// Lines that hold at least one character, blanks included.
int CountNonEmptyLines(const std::vector<std::string>& lines);
