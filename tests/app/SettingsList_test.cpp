#include "SerialDevice.h"
#include "SettingsList.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Files beyond a few bytes cannot be written while it lives: a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &Saved);
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &Saved); }

private:
    rlimit Saved{};
};

}  // namespace

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

TEST(SettingsList, AFailedSaveLeavesTheOldFileWhole)
{
    TempDir dir;
    const std::string path = dir.Write("Updater.prm", "CON_TYPE=UDP\n");
    TSettingsList settings;
    for (int key = 0; key < 50; ++key)
        settings.SetValue("KEY" + std::to_string(key), "a long enough value");
    std::string error;
    {
        FileSizeLimit limit(16);
        EXPECT_FALSE(settings.Save(path, error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(path), "CON_TYPE=UDP\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
    EXPECT_FALSE(settings.Save(dir.Path() + "missing/Updater.prm", error));
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
