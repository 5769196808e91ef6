// Why a serial device could not be opened, in words that tell the operator what to do.
#pragma once

#include <QSerialPort>

#include <sys/types.h>

#include <string>

enum class TSerialOpenProblem { Denied, InUse, Missing, Other };

// What an open that failed found out, kept until it is told.
struct TSerialOpenFailure {
    TSerialOpenProblem Problem = TSerialOpenProblem::Other;
    std::string SystemMessage;
    // Denied: the group to join for access; empty sends the operator to the administrator.
    std::string Group;
};

// Sorts out what QSerialPort reported, looking at the device itself: the system
// reports a device held by another program and one the user may not open alike.
TSerialOpenProblem ClassifySerialOpenFailure(const std::string& device, QSerialPort::SerialPortError error);

// The group to join for access to the device: the group that owns it, when its
// members may read and write it and it is not root's group (joining that would
// make the user an administrator). Empty when joining a group would not help,
// or when the device cannot be looked at.
std::string GroupToJoin(const std::string& device);
// The same rule on what the device's status says.
std::string GroupToJoin(gid_t group, mode_t mode, const std::string& groupName);

// Everything known of a failed open of the device, from what QSerialPort reported.
TSerialOpenFailure DescribeSerialOpenFailure(const std::string& device, QSerialPort::SerialPortError error,
                                             std::string systemMessage);

// The system's message first, then what it means for this device; a problem of
// no known kind gives the system's message alone. chooseDevice: where the
// operator chooses another device, in the words of the view ("Port menu, Serial device...").
std::string SerialOpenFailureText(const std::string& device, const TSerialOpenFailure& failure, const std::string& chooseDevice);
