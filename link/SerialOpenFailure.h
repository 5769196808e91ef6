// Why a serial device could not be opened, in words that tell the operator what to do.
#pragma once

#include <QSerialPort>

#include <string>

enum class TSerialOpenProblem { Denied, InUse, Missing, Other };

// Sorts out what QSerialPort reported, looking at the device itself: the system
// reports a device held by another program and one the user may not open alike.
TSerialOpenProblem ClassifySerialOpenFailure(const std::string& device, QSerialPort::SerialPortError error);

// The group that owns the device, or empty when the device cannot be looked at.
std::string DeviceGroup(const std::string& device);

// The system's message first, then what it means for this device; a problem of
// no known kind gives the system's message alone. group: the device's group
// (Denied only; empty names the usual one).
std::string SerialOpenFailureText(const std::string& device, TSerialOpenProblem problem,
                                  const std::string& systemMessage, const std::string& group);
