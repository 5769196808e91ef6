// The play of one effect file, read ahead of the run: the records the JTAG
// engine will send and what the card answers to each, and the lines the card
// cannot take.
#pragma once

#include "UpdatePlan.h"

#include <string>
#include <vector>

// Adds the records of the play of path (named on the step's own line) to step.
// A line the translator rejects is a problem of that line of the effect file; a
// file the engine cannot play at all (missing, unreadable, empty) is a problem
// of the step's line, with the message the run gives.
void PlanEffectFile(const std::string& path, TPlanStep& step, std::vector<TPlanProblem>& problems);
