#include "SerialDevice.h"

#include "constante.h"
#include "textutil.h"

std::string SerialDeviceFor(const std::string& comPort, const TSettingsList& settings)
{
    const std::string configured = settings.Value(comPort);
    if (!configured.empty())
        return configured;
    const std::string_view prefix = constante::ComPortPrefix;
    std::int32_t number = 0;
    if (!StartsWith(comPort, prefix) || comPort.size() != prefix.size() + 1 ||
        !StrToInt32(std::string_view(comPort).substr(prefix.size()), number) || number < 1)
        return comPort;
    return constante::SerialDevicePrefix + std::to_string(number - 1);
}
