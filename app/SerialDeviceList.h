// The serial devices present on this machine, and which COM port each one is.
//
// No widget is involved: the Port menu's "Serial device..." dialog and
// "--list-ports" show the same list. The list is read anew each time it is asked
// for (an adapter may have been plugged in since); where it comes from can be
// replaced, so that tests need no device.
#pragma once

#include "SettingsList.h"

#include <functional>
#include <string>
#include <vector>

struct TSerialDeviceInfo {
    std::string Device;  // "/dev/ttyUSB0"
    std::string Description;
    std::string Manufacturer;
    std::string SerialNumber;
};

class TSerialDeviceList {
public:
    using TSource = std::function<std::vector<TSerialDeviceInfo>()>;

    // Reads what the system reports (Qt's serial port information).
    TSerialDeviceList();
    explicit TSerialDeviceList(TSource source) : Source(std::move(source)) {}

    // The devices present, sorted by device name.
    std::vector<TSerialDeviceInfo> Read() const;

    // Whether the device is on this machine: one of the devices present (by its
    // real path, so a link to one counts), or a device file of another kind that
    // is there (a pseudo-terminal). The standard serial devices exist as files
    // on most machines whether or not they have the port, so only the list counts for them.
    static bool IsPresent(const std::string& device, const std::vector<TSerialDeviceInfo>& present);

    // "COM1" to "COM9": the first port that opens the device under these
    // settings; empty when none does.
    static std::string ComPortOf(const std::string& device, const TSettingsList& settings);
    // The devices as a table for a terminal: port, device, description,
    // manufacturer and serial number, one device a line, with a heading line.
    static std::string Listing(const std::vector<TSerialDeviceInfo>& devices, const TSettingsList& settings);

    TSource Source;
};
