#include "SerialOpenFailure.h"

#include "constante.h"
#include "textutil.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// QSerialPort looks up a bare name in /dev.
std::string DevicePath(const std::string& device) { return device.find('/') == std::string::npos ? "/dev/" + device : device; }

}  // namespace

TSerialOpenProblem ClassifySerialOpenFailure(const std::string& device, QSerialPort::SerialPortError error)
{
    const std::string path = DevicePath(device);
    struct stat status {};
    if (error == QSerialPort::DeviceNotFoundError || (::stat(path.c_str(), &status) != 0 && errno == ENOENT))
        return TSerialOpenProblem::Missing;
    if (error != QSerialPort::PermissionError)
        return TSerialOpenProblem::Other;
    return ::access(path.c_str(), R_OK | W_OK) == 0 ? TSerialOpenProblem::InUse : TSerialOpenProblem::Denied;
}

std::string GroupToJoin(gid_t group, mode_t mode, const std::string& groupName)
{
    constexpr gid_t RootGroup = 0;
    constexpr mode_t GroupReadWrite = S_IRGRP | S_IWGRP;
    return group != RootGroup && (mode & GroupReadWrite) == GroupReadWrite ? groupName : std::string();
}

std::string GroupToJoin(const std::string& device)
{
    struct stat status {};
    if (::stat(DevicePath(device).c_str(), &status) != 0)
        return {};
    const group* owner = ::getgrgid(status.st_gid);
    return GroupToJoin(status.st_gid, status.st_mode, owner != nullptr ? std::string(owner->gr_name) : std::to_string(status.st_gid));
}

TSerialOpenFailure DescribeSerialOpenFailure(const std::string& device, QSerialPort::SerialPortError error,
                                             std::string systemMessage)
{
    TSerialOpenFailure failure;
    failure.Problem = ClassifySerialOpenFailure(device, error);
    failure.SystemMessage = std::move(systemMessage);
    if (failure.Problem == TSerialOpenProblem::Denied)
        failure.Group = GroupToJoin(device);
    return failure;
}

std::string SerialOpenFailureText(const std::string& device, const TSerialOpenFailure& failure, const std::string& chooseDevice)
{
    std::string advice;
    switch (failure.Problem) {
    case TSerialOpenProblem::Denied:
        advice = failure.Group.empty()
                     ? FormatText(constante::SerialAskAdministratorFormat, device)
                     : FormatText(constante::SerialDeniedFormat, {device, failure.Group, failure.Group});
        break;
    case TSerialOpenProblem::InUse:
        advice = FormatText(constante::SerialInUseFormat, device);
        break;
    case TSerialOpenProblem::Missing:
        advice = FormatText(constante::SerialMissingFormat, {device, chooseDevice});
        break;
    case TSerialOpenProblem::Other:
        return failure.SystemMessage;
    }
    return failure.SystemMessage.empty() ? advice : failure.SystemMessage + constante::SerialOpenReasonSeparator + advice;
}
