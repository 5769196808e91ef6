// The records of an Intel HEX file checked against what the card does with
// them: it takes a record only in upper-case digits with a length and a
// checksum that match its fields, it writes the data records into the area the
// operation line programs, and its verification sums that area.
#pragma once

#include "OperationPlan.h"

#include <cstdint>
#include <string>
#include <vector>

// Adds to plan a problem for each record of the file (lines as loaded from path) that
// the card would refuse, that writes outside first..last or over a byte an
// earlier record wrote, that is of a type other than data and end of file, or
// that holds data after the end of file. Lines that are not records are sent
// and ignored by the card, so they are no problem.
void CheckHexFile(const std::string& path, const std::vector<std::string>& lines, std::uint16_t first,
                  std::uint16_t last, TOperationPlan& plan);
