#include "AppBench.h"
#include "ipconfig.h"
#include "TempDir.h"

#include <QAction>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

namespace {

// Opens the windows over a folder holding this settings file (none when empty),
// closes them again and returns what they saved.
struct SettingsRound {
    explicit SettingsRound(const std::string& settings)
    {
        if (!settings.empty())
            Bench.Dir.Write("Updater.prm", settings);
        Bench.Open();
    }
    std::string Close()
    {
        Bench.Window().FormClose();
        return ReadFile(Bench.Dir.Path() + "Updater.prm");
    }
    AppBench Bench;
};

}  // namespace

TEST(SettingsFile, NoFileGivesDefaultsAndFiveKeysInOrder)
{
    SettingsRound round("");
    TIPConfigDlg& lan = round.Bench.LanDialog();
    EXPECT_TRUE(round.Bench.Window().Com11->isChecked());
    EXPECT_EQ(lan.LanMode, CON_TCP);
    EXPECT_EQ(lan.RemoteAddress, "192.168.0.10");
    EXPECT_EQ(lan.RemotePort, 10500);
    EXPECT_EQ(lan.LocalPort, 10500);
    EXPECT_EQ(round.Close(),
              "CON_TYPE=RS232\nCOM_PORT=COM1\nREMOTE_IP=192.168.0.10\nREMOTE_PORT=10500\nLOCAL_PORT=10500\n");
    EXPECT_TRUE(round.Bench.Boxes.empty());
}

TEST(SettingsFile, LanTypeChecksLanAndWritesNoComPort)
{
    SettingsRound round("CON_TYPE=UDP\nCOM_PORT=COM4\nREMOTE_IP=10.0.0.7\nREMOTE_PORT=$10\nLOCAL_PORT=2000\n");
    TMainFich& window = round.Bench.Window();
    EXPECT_TRUE(window.LAN1->isChecked());
    EXPECT_FALSE(window.Com41->isChecked());
    EXPECT_EQ(round.Bench.LanDialog().LanMode, CON_UDP);
    EXPECT_EQ(round.Bench.LanDialog().RemotePort, 16);
    EXPECT_EQ(round.Close(), "CON_TYPE=UDP\nCOM_PORT=NA\nREMOTE_IP=10.0.0.7\nREMOTE_PORT=16\nLOCAL_PORT=2000\n");
}

TEST(SettingsFile, TypeAndPortNamesAreExact)
{
    // "rs232" is no known type, yet the serial port is still read.
    SettingsRound lower("CON_TYPE=rs232\nCOM_PORT=COM5\n");
    EXPECT_TRUE(lower.Bench.Window().Com51->isChecked());
    EXPECT_EQ(lower.Bench.LanDialog().LanMode, CON_TCP);
    EXPECT_EQ(lower.Close(),
              "CON_TYPE=RS232\nCOM_PORT=COM5\nREMOTE_IP=192.168.0.10\nREMOTE_PORT=10500\nLOCAL_PORT=10500\n");

    for (const char* port : {"COM10", "com3", "COM0", ""}) {
        SettingsRound round(std::string("CON_TYPE=RS232\nCOM_PORT=") + port + "\n");
        EXPECT_TRUE(round.Bench.Window().Com11->isChecked()) << port;
        EXPECT_EQ(round.Bench.Window().SelectedComPort(), "COM1") << port;
    }
}

TEST(SettingsFile, OtherLinesAndDeviceKeysStayInPlace)
{
    SettingsRound round("# bench 4\r\nCOM3=/dev/ttyUSB0\r\ncom_port=COM3\r\n\r\nVENDOR=x\r\n");
    EXPECT_TRUE(round.Bench.Window().Com31->isChecked());
    round.Bench.Window().ComClick(2);
    EXPECT_EQ(round.Close(), "# bench 4\nCOM3=/dev/ttyUSB0\nCOM_PORT=COM2\n\nVENDOR=x\nCON_TYPE=RS232\n"
                             "REMOTE_IP=192.168.0.10\nREMOTE_PORT=10500\nLOCAL_PORT=10500\n");
}

TEST(SettingsFile, CancelledLanDialogKeepsTheComPort)
{
    SettingsRound round("CON_TYPE=RS232\nCOM_PORT=COM6\n");
    round.Bench.DialogAction = [&](QDialog&) {
        round.Bench.LanDialog().RBUdpClick();
        round.Bench.LanDialog().BCancelClick();
    };
    round.Bench.Window().LAN1Click();
    EXPECT_TRUE(round.Bench.Window().Com61->isChecked());
    EXPECT_FALSE(round.Bench.Window().LAN1->isChecked());
    // The Udp click inside the cancelled dialog is forgotten.
    EXPECT_EQ(round.Bench.LanDialog().LanMode, CON_TCP);
    EXPECT_EQ(round.Close().rfind("CON_TYPE=RS232\nCOM_PORT=COM6\n", 0), 0u);
}

// Only an Apply in this showing selects the LAN: Escape and the close box leave
// the port picked since an earlier Apply, and the dialog's mode, as they were.
TEST(SettingsFile, LanDialogLeftWithoutApplyChangesNothing)
{
    SettingsRound round("CON_TYPE=UDP\n");
    TMainFich& window = round.Bench.Window();
    TIPConfigDlg& dialog = round.Bench.LanDialog();
    round.Bench.DialogAction = [&](QDialog&) { dialog.BOkClick(); };
    window.LAN1->trigger();
    ASSERT_TRUE(dialog.Applied);
    window.Com31->trigger();
    using Leave = void (*)(TIPConfigDlg&);
    const Leave ways[] = {[](TIPConfigDlg& lan) { lan.reject(); }, [](TIPConfigDlg& lan) { lan.close(); }};
    for (const Leave leave : ways) {
        round.Bench.DialogAction = [&](QDialog&) {
            dialog.RBTcpClick();
            leave(dialog);
        };
        window.LAN1->trigger();
        EXPECT_TRUE(window.Com31->isChecked());
        EXPECT_FALSE(window.LAN1->isChecked());
        EXPECT_EQ(dialog.LanMode, CON_UDP);
    }
    EXPECT_EQ(round.Close().rfind("CON_TYPE=RS232\nCOM_PORT=COM3\n", 0), 0u);
}

TEST(SettingsFile, BadPortValueIsReportedAndTheRestLoads)
{
    SettingsRound round("REMOTE_PORT=10x\nLOCAL_PORT=4000\n");
    EXPECT_EQ(round.Bench.Boxes,
              (std::vector<std::string>{"Bad value in Updater.prm, default used : REMOTE_PORT=10x"}));
    EXPECT_EQ(round.Bench.LanDialog().RemotePort, 10500);
    EXPECT_EQ(round.Bench.LanDialog().LocalPort, 4000);
}

TEST(SettingsFile, AFailedSaveIsReportedAndTheOldFileKept)
{
    const std::string old = "CON_TYPE=UDP\nCOM_PORT=NA\n";
    SettingsRound round(old);
    round.Bench.Window().ComClick(3);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit full = saved;
    full.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &full);
    const std::string written = round.Close();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(written, old);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(round.Bench.Dir.Path()), std::filesystem::directory_iterator()), 1);
    ASSERT_EQ(round.Bench.Boxes.size(), 1u);
    EXPECT_EQ(round.Bench.Boxes[0].rfind("Settings not saved : " + round.Bench.Dir.Path() + "Updater.prm : ", 0), 0u)
        << round.Bench.Boxes[0];
}
