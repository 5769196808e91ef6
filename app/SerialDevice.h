// The serial device opened for a COM port the operator chose.
#pragma once

#include "SettingsList.h"

#include <string>

// The value of the settings key of the same name ("COM3=/dev/ttyUSB0") when it
// is present and not empty; otherwise the n-th standard serial device for COMn
// (COM1 is /dev/ttyS0). Any other name is returned unchanged.
std::string SerialDeviceFor(const std::string& comPort, const TSettingsList& settings);
