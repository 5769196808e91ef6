#include "SerialDevice.h"
#include "SettingsList.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(SettingsList, KeysIgnoreCaseAndTheFirstLineCounts)
{
    TempDir dir;
    TSettingsList settings;
    EXPECT_FALSE(settings.Load(dir.Path() + "none.prm"));
    ASSERT_TRUE(settings.Load(dir.Write("a.prm", "; comment\r\ncom_port=COM3\nCOM_PORT=COM4\rREMOTE_IP=a=b\nNOEQUALS")));
    EXPECT_EQ(settings.Value("COM_PORT"), "COM3");
    EXPECT_EQ(settings.Value("remote_ip"), "a=b");
    EXPECT_EQ(settings.Value("NOEQUALS"), "");
    EXPECT_EQ(settings.Value("; comment"), "");
}

// What is there but cannot be read is told from what is missing: only a missing
// file may be written from the defaults.
TEST(SettingsList, UnreadableIsToldFromMissing)
{
    TempDir dir;
    TSettingsList settings;
    EXPECT_FALSE(settings.Load(dir.Path() + "none.prm"));
    EXPECT_FALSE(settings.Unreadable());
    std::filesystem::create_directory(dir.Path() + "folder.prm");
    EXPECT_FALSE(settings.Load(dir.Path() + "folder.prm"));
    EXPECT_TRUE(settings.Unreadable());
    ASSERT_TRUE(settings.Load(dir.Write("a.prm", "X=1\n")));
    EXPECT_FALSE(settings.Unreadable());
}

TEST(SettingsList, SetValueRewritesInPlaceOrAppends)
{
    TempDir dir;
    TSettingsList settings;
    ASSERT_TRUE(settings.Load(dir.Write("a.prm", "# keep\nCOM_PORT=\nX=1\ncon_type=UDP\n")));
    settings.SetValue("COM_PORT", "COM3");
    settings.SetValue("CON_TYPE", "RS232");
    settings.SetValue("LOCAL_PORT", "10500");
    EXPECT_EQ(settings.Lines(),
              (std::vector<std::string>{"# keep", "COM_PORT=COM3", "X=1", "CON_TYPE=RS232", "LOCAL_PORT=10500"}));
    // What was saved reads back: an empty value is replaced, not shadowed.
    std::string error;
    const std::string path = dir.Path() + "b.prm";
    ASSERT_TRUE(settings.Save(path, error)) << error;
    EXPECT_EQ(ReadFile(path), "# keep\nCOM_PORT=COM3\nX=1\nCON_TYPE=RS232\nLOCAL_PORT=10500\n");
    TSettingsList again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.Value("COM_PORT"), "COM3");
}

TEST(SerialDevice, KeyOfThePortNameElseTheStandardDevice)
{
    TempDir dir;
    TSettingsList settings;
    ASSERT_TRUE(settings.Load(dir.Write("a.prm", "com3=/dev/ttyUSB0\nCOM4=\n")));
    EXPECT_EQ(SerialDeviceFor("COM3", settings), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDeviceFor("COM4", settings), "/dev/ttyS3");
    EXPECT_EQ(SerialDeviceFor("COM1", settings), "/dev/ttyS0");
    EXPECT_EQ(SerialDeviceFor("COM9", TSettingsList()), "/dev/ttyS8");
}
