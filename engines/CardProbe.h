// The start of every run, before any engine works: the card firmware is asked
// for its device type ("?", answered "DEV" and the type) and handed over to its
// boot loader by writing two values to its variable UPDATER (the value and
// "yU", each answered "UPD" and the value), all at the firmware's speed.
#pragma once

#include "OperationPlan.h"

#include <cstdint>
#include <string>

// The firmware's command that writes UPDATER.
std::string UpdaterWriteCommand(std::uint32_t value);

// The probe's commands as a plan names them: "? 1yU 254yU".
std::string CardProbeText();
// The probe when the card answers the first query with the first device type.
TOperationPlan PlanCardProbe();
