#include "CardProbe.h"

#include "constante.h"

#include <string_view>

using namespace constante;

namespace {

// The firmware's answer to a command: a name, the value in decimal, CR LF.
std::size_t VarReply(std::string_view name, std::uint32_t value)
{
    return name.size() + std::to_string(value).size() + std::string_view(VarReplyLineEnd).size();
}

}  // namespace

std::string UpdaterWriteCommand(std::uint32_t value) { return std::to_string(value) + VarUpdaterWrite; }

std::string CardProbeText()
{
    return std::string(VarDeviceQuery) + ' ' + UpdaterWriteCommand(UpdaterHandOverFirst) + ' ' +
           UpdaterWriteCommand(UpdaterHandOverSecond);
}

TOperationPlan PlanCardProbe()
{
    TOperationPlan plan;
    plan.Baud = VarPhaseBaud;
    plan.Exchange(std::string_view(VarDeviceQuery).size(), VarReply(VarDeviceReply, DeviceTypeCodes[0]));
    for (const std::uint32_t value : {UpdaterHandOverFirst, UpdaterHandOverSecond})
        plan.Exchange(UpdaterWriteCommand(value).size(), VarReply(VarUpdaterReply, value));
    return plan;
}
