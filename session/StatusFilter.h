// Which engine messages the status list leaves out.
#pragma once

#include <string_view>

// The routine step names of the engines, compared exactly, and every message
// that holds "Ping Card " in any letter case. The operator follows a run by its
// milestones; a line per erase, upload or ping would bury them.
bool IsRoutineStepName(std::string_view message);
