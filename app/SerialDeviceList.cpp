#include "SerialDeviceList.h"

#include "SerialDevice.h"
#include "SettingsFile.h"
#include "constante.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <array>

namespace {

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

std::vector<TSerialDeviceInfo> SystemSerialDevices()
{
    std::vector<TSerialDeviceInfo> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        devices.push_back({Utf8(port.systemLocation()), Utf8(port.description()), Utf8(port.manufacturer()),
                           Utf8(port.serialNumber())});
    return devices;
}

}  // namespace

TSerialDeviceList::TSerialDeviceList() : Source(SystemSerialDevices) {}

std::vector<TSerialDeviceInfo> TSerialDeviceList::Read() const
{
    std::vector<TSerialDeviceInfo> devices = Source ? Source() : std::vector<TSerialDeviceInfo>{};
    std::sort(devices.begin(), devices.end(),
              [](const TSerialDeviceInfo& a, const TSerialDeviceInfo& b) { return a.Device < b.Device; });
    return devices;
}

std::string TSerialDeviceList::ComPortOf(const std::string& device, const TSettingsList& settings)
{
    for (int port = 1; port <= TSettingsFile::ComPortCount; ++port) {
        const std::string name = TSettingsFile::ComPortName(port);
        if (SerialDeviceFor(name, settings) == device)
            return name;
    }
    return {};
}

std::string TSerialDeviceList::Listing(const std::vector<TSerialDeviceInfo>& devices, const TSettingsList& settings)
{
    if (devices.empty())
        return std::string(constante::NoSerialDevice) + '\n';
    using TRow = std::array<std::string, 5>;
    std::vector<TRow> rows{{constante::ColumnPort, constante::ColumnDevice, constante::ColumnDescription,
                            constante::ColumnManufacturer, constante::ColumnSerialNumber}};
    for (const TSerialDeviceInfo& device : devices) {
        const std::string port = ComPortOf(device.Device, settings);
        rows.push_back({port.empty() ? std::string(constante::NoComPort) : port, device.Device, device.Description,
                        device.Manufacturer, device.SerialNumber});
    }
    std::array<std::size_t, 5> widths{};
    for (const TRow& row : rows)
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    std::string text;
    for (const TRow& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size())
                line += std::string(widths[column] - row[column].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + '\n';
    }
    return text;
}

bool TSerialDeviceList::IsPresent(const std::string& device, const std::vector<TSerialDeviceInfo>& present)
{
    const QString real = QFileInfo(QString::fromStdString(device)).canonicalFilePath();
    for (const TSerialDeviceInfo& info : present)
        if (info.Device == device || (!real.isEmpty() && QFileInfo(QString::fromStdString(info.Device)).canonicalFilePath() == real))
            return true;
    return !real.isEmpty() && !real.startsWith(QString::fromLatin1(constante::SerialDevicePrefix));
}
