#include "AppBench.h"
#include "RunProcess.h"
#include "SerialDeviceDialog.h"
#include "SerialDeviceList.h"
#include "SettingsList.h"
#include "TempDir.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::vector<TSerialDeviceInfo> FakeDevices()
{
    return {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XQZ"},
            {"/dev/ttyS0", "", "", ""},
            {"/dev/ttyACM0", "Pico", "Raspberry Pi", "E6614C31"}};
}

TSettingsList SettingsWith(const std::string& text)
{
    TempDir dir;
    TSettingsList settings;
    settings.Load(dir.Write("Updater.prm", text));
    return settings;
}

}  // namespace

TEST(SerialDeviceList, SortedListAndTheComPortOfEachDevice)
{
    const TSerialDeviceList list(FakeDevices);
    const std::vector<TSerialDeviceInfo> devices = list.Read();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].Device, "/dev/ttyACM0");
    EXPECT_EQ(devices[2].Device, "/dev/ttyUSB0");

    const TSettingsList settings = SettingsWith("COM3=/dev/ttyUSB0\nCOM1=/dev/ttyACM0\n");
    EXPECT_EQ(TSerialDeviceList::ComPortOf("/dev/ttyUSB0", settings), "COM3");
    EXPECT_EQ(TSerialDeviceList::ComPortOf("/dev/ttyACM0", settings), "COM1");
    // COM1 opens another device now, so /dev/ttyS0 is nobody's; /dev/ttyS1 is still COM2's.
    EXPECT_EQ(TSerialDeviceList::ComPortOf("/dev/ttyS0", settings), "");
    EXPECT_EQ(TSerialDeviceList::ComPortOf("/dev/ttyS1", settings), "COM2");

    EXPECT_EQ(TSerialDeviceList::Listing(devices, settings),
              "Port  Device        Description      Manufacturer  Serial number\n"
              "COM1  /dev/ttyACM0  Pico             Raspberry Pi  E6614C31\n"
              "-     /dev/ttyS0\n"
              "COM3  /dev/ttyUSB0  FT232R USB UART  FTDI          A10K3XQZ\n");
    EXPECT_EQ(TSerialDeviceList::Listing({}, settings), "No serial device found\n");
}

// The standard serial devices exist as files whether or not the machine has the
// port; the list of devices present decides for them. A pseudo-terminal or a link
// to a device present is there.
TEST(SerialDeviceList, WhatCountsAsPresent)
{
    TempDir dir;
    const std::string terminal = dir.Write("pts-like", "");
    const std::string link = dir.Path() + "by-id";
    std::filesystem::create_symlink(terminal, link);
    const std::vector<TSerialDeviceInfo> present{{"/dev/ttyS0", "", "", ""}, {terminal, "", "", ""}};
    EXPECT_TRUE(TSerialDeviceList::IsPresent("/dev/ttyS0", present));
    EXPECT_FALSE(TSerialDeviceList::IsPresent("/dev/ttyS1", present));
    EXPECT_TRUE(TSerialDeviceList::IsPresent(link, present));
    EXPECT_TRUE(TSerialDeviceList::IsPresent(terminal, {}));
    EXPECT_FALSE(TSerialDeviceList::IsPresent(dir.Path() + "unplugged", present));
}

TEST(SerialDeviceList, ListPortsPrintsTheTableAndStops)
{
    TempDir dir;
    dir.Write("Updater.prm", "COM1=/dev/ttyS7\nCOM4=/dev/ttyS0\n");
    const ProcessResult result = RunProcess({CORVANE_UPDATER, "--list-ports", "--app-dir", dir.Path()});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    const bool table = result.Out.rfind("Port  Device", 0) == 0;
    EXPECT_TRUE(table || result.Out == "No serial device found\n") << result.Out;
    // The folder's own settings say which port each device is.
    if (result.Out.find("/dev/ttyS0") != std::string::npos) {
        EXPECT_NE(result.Out.find("COM4  /dev/ttyS0"), std::string::npos) << result.Out;
    }
}

TEST(PortMenu, ItemsShowTheirDevicesAndTheDialogAssignsOneToTheSelectedPort)
{
    AppBench bench;
    bench.Dir.Write("Updater.prm", "CON_TYPE=RS232\nCOM_PORT=COM3\nCOM2=/dev/ttyACM0\nCOM5=/dev/serial/a&b\n");
    bench.Open();
    TMainFich& window = bench.Window();
    // The bench's machine has no serial device: each item says so and stays selectable.
    EXPECT_EQ(window.Com11->text(), "Com &1 (/dev/ttyS0) (absent)");
    EXPECT_EQ(window.Com51->text(), "Com &5 (/dev/serial/a&&b) (absent)");
    EXPECT_EQ(window.Com21->text(), "Com &2 (/dev/ttyACM0) (absent)");
    EXPECT_EQ(window.Com31->text(), "Com &3 (/dev/ttyS2) (absent)");
    EXPECT_TRUE(window.Com31->isEnabled());

    int reads = 0;
    window.SerialDevices.Source = [&] {
        ++reads;
        return FakeDevices();
    };
    std::vector<std::vector<std::string>> rowsShown;
    std::string caption;
    window.ShowDialog = [&](QDialog& dialog) {
        auto& devices = dynamic_cast<TSerialDeviceDialog&>(dialog);
        caption = devices.windowTitle().toStdString();
        for (int row = 0; row < devices.DeviceTable->rowCount(); ++row) {
            std::vector<std::string> cells;
            for (int column = 0; column < devices.DeviceTable->columnCount(); ++column)
                cells.push_back(devices.DeviceTable->item(row, column)->text().toStdString());
            rowsShown.push_back(cells);
        }
        devices.DeviceTable->selectRow(2);
        return static_cast<int>(QDialog::Accepted);
    };
    window.SerialDevice1->trigger();
    EXPECT_EQ(caption, "Serial device for COM3");
    EXPECT_EQ(window.Com11->text(), "Com &1 (/dev/ttyS0)");
    EXPECT_EQ(window.Com21->text(), "Com &2 (/dev/ttyACM0)");
    EXPECT_EQ(window.Com41->text(), "Com &4 (/dev/ttyS3) (absent)");
    EXPECT_EQ(rowsShown, (std::vector<std::vector<std::string>>{{"/dev/ttyACM0", "Pico", "Raspberry Pi", "E6614C31"},
                                                                {"/dev/ttyS0", "", "", ""},
                                                                {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XQZ"}}));
    EXPECT_EQ(window.Com31->text(), "Com &3 (/dev/ttyUSB0)");
    EXPECT_EQ(window.GetSettings().LinkFor({}).SerialDevice, "/dev/ttyS0");
    TPortChoice com3;
    com3.ComPort = 3;
    EXPECT_EQ(window.GetSettings().LinkFor(com3).SerialDevice, "/dev/ttyUSB0");

    // Cancel changes nothing; the list is read again at each showing.
    window.ShowDialog = [](QDialog& dialog) {
        dynamic_cast<TSerialDeviceDialog&>(dialog).DeviceTable->selectRow(0);
        return static_cast<int>(QDialog::Rejected);
    };
    window.SerialDevice1->trigger();
    EXPECT_EQ(reads, 3);  // each showing of the dialog, and the items after the assignment
    EXPECT_EQ(window.Com31->text(), "Com &3 (/dev/ttyUSB0)");

    window.FormClose();
    EXPECT_EQ(ReadFile(bench.Dir.Path() + "Updater.prm"),
              "CON_TYPE=RS232\nCOM_PORT=COM3\nCOM2=/dev/ttyACM0\nCOM5=/dev/serial/a&b\nCOM3=/dev/ttyUSB0\n"
              "REMOTE_IP=192.168.0.10\n"
              "REMOTE_PORT=10500\nLOCAL_PORT=10500\n");
}

TEST(PortMenu, DialogStartsOnTheDeviceInUseAndOffersNoOkWithoutAChoice)
{
    TSerialDeviceDialog dialog;
    dialog.Fill("COM1", FakeDevices(), "/dev/ttyACM0");
    EXPECT_EQ(dialog.ChosenDevice(), "/dev/ttyACM0");
    dialog.Fill("COM1", FakeDevices(), "/dev/ttyS4");
    EXPECT_EQ(dialog.ChosenDevice(), "");
    EXPECT_FALSE(dialog.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
    dialog.Fill("COM1", {}, "/dev/ttyS0");
    EXPECT_EQ(dialog.DeviceTable->rowCount(), 0);
}
