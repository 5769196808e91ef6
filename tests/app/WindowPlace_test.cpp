#include "AppBench.h"
#include "SettingsFile.h"
#include "Utils.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

// XDG_CONFIG_HOME points into a folder of the test's own while it lives.
class UserConfig {
public:
    UserConfig() : Before(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Dir.Path())); }
    ~UserConfig()
    {
        if (Before.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", Before);
    }
    UserConfig(const UserConfig&) = delete;
    UserConfig& operator=(const UserConfig&) = delete;

    TempDir Dir;

private:
    QByteArray Before;
};

}  // namespace

TEST(WindowPlace, StatusListGrowsWithTheWindowAndThePlaceIsKept)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    const QSize memoBefore = window.MemoStatus->size();
    window.setGeometry(40, 30, 700, 420);
    ASSERT_TRUE(WaitUntil([&] { return window.MemoStatus->height() > memoBefore.height(); }));
    EXPECT_GT(window.MemoStatus->width(), memoBefore.width());
    // The buttons and bars keep their size; the status list takes the rest.
    EXPECT_EQ(window.Start->size(), QSize(169, 41));
    EXPECT_EQ(window.ProgressBar1->height(), 9);
    window.FormClose();
    EXPECT_NE(ReadFile(bench.Dir.Path() + "Updater.prm").find("\nWINDOW=40,30,700,420\n"), std::string::npos)
        << ReadFile(bench.Dir.Path() + "Updater.prm");

    AppBench again;
    again.Dir.Write("Updater.prm", "WINDOW=40,30,700,420\n");
    again.Open();
    EXPECT_EQ(again.Window().geometry(), QRect(40, 30, 700, 420));

    // A place that cannot be read leaves the window as it is; a tiny size is raised to the least that fits.
    TMainFich& other = again.Window();
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "a,b,c,d", "0,0,0,300", "0,0,-5,300"}) {
        other.RestoreWindowPlace(bad);
        EXPECT_EQ(other.geometry(), QRect(40, 30, 700, 420)) << bad;
    }
    other.RestoreWindowPlace("10,10,20,20");
    EXPECT_GE(other.width(), other.minimumSizeHint().width());
    EXPECT_GE(other.height(), other.minimumSizeHint().height());
}

TEST(WindowPlace, StatusListLinesCanBeCopied)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    window.ShowInfo("No answer on COM1 (/dev/ttyS0) at 9600 baud");
    window.ShowInfo("Switch ON device while pushing the ENTER button");
    QApplication::clipboard()->clear();
    window.MemoStatus->selectAll();
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(window.MemoStatus, &copy);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              "No answer on COM1 (/dev/ttyS0) at 9600 baud\nSwitch ON device while pushing the ENTER button");
    EXPECT_TRUE(window.MemoStatus->isReadOnly());
}

TEST(UpdateFolder, ChosenFolderBecomesTheProgramsFolderAndIsOfferedNextTime)
{
    UserConfig user;
    AppBench bench;
    bench.Dir.Write("Updater.prm", "CON_TYPE=RS232\nCOM_PORT=COM2\n");
    bench.Open();
    TMainFich& window = bench.Window();
    TempDir update;
    update.Write("script.ini", "FI\r\n");
    update.Write("readid.ini", "D8\r\n");
    update.Write("Updater.prm", "CON_TYPE=RS232\nCOM_PORT=COM4\nCOM4=/dev/ttyUSB1\n");
    std::string chosen = update.Path();
    std::vector<std::string> offered;
    window.ChooseUpdate = [&](const std::string& folder) {
        offered.push_back(folder);
        return chosen;
    };
    window.ComClick(3);

    window.OpenUpdate->trigger();
    const std::string folder = update.Path().substr(0, update.Path().size() - 1);
    EXPECT_EQ(window.GetSession().GetAppDir(), folder);
    EXPECT_EQ(window.GetCurentCardDir(), update.Path());
    EXPECT_TRUE(window.ReadId->isVisibleTo(&window));
    EXPECT_TRUE(window.Com41->isChecked());
    EXPECT_EQ(window.Com41->text(), "Com &4 (/dev/ttyUSB1) (absent)");
    // The status list names the update now loaded.
    const std::vector<std::string> lines = bench.StatusLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Update opened : " + folder), lines.end());
    EXPECT_EQ(window.Timer1, &window.GetSession().GetTimer());
    // The folder left behind kept what was chosen in it.
    EXPECT_NE(ReadFile(bench.Dir.Path() + "Updater.prm").find("COM_PORT=COM3\n"), std::string::npos);
    EXPECT_EQ(TSettingsFile::LastUpdateFolder(), folder);

    // Cancel keeps the session; the last folder is offered.
    chosen.clear();
    TUpdateSession* session = &window.GetSession();
    window.OpenUpdate->trigger();
    EXPECT_EQ(offered, (std::vector<std::string>{bench.Dir.Path().substr(0, bench.Dir.Path().size() - 1), folder}));
    EXPECT_EQ(&window.GetSession(), session);

    // Not during a run (one that the check at START would not end at once).
    window.MCheckUpdate->setChecked(false);
    window.StartClick();
    chosen = bench.Dir.Path();
    window.OpenUpdate->trigger();
    EXPECT_EQ(window.GetSession().GetAppDir(), folder);
    window.Timer1Timer();
    EXPECT_FALSE(window.File1->menuAction()->isEnabled());
    window.GetSession().Stop();
}

TEST(UpdateFolder, WindowStartsInTheLastFolderOnlyWithoutScriptsBesideTheProgram)
{
    UserConfig user;
    TempDir installed;
    TempDir update;
    const std::string installedDir = installed.Path().substr(0, installed.Path().size() - 1);
    const std::string updateDir = update.Path().substr(0, update.Path().size() - 1);
    EXPECT_EQ(TSettingsFile::WindowFolder(installedDir), installedDir);
    std::string message;
    ASSERT_TRUE(TSettingsFile::RememberUpdateFolder(updateDir, message)) << message;
    EXPECT_EQ(TSettingsFile::WindowFolder(installedDir), updateDir);
    installed.Write("script.ini", "FI\r\n");
    EXPECT_EQ(TSettingsFile::WindowFolder(installedDir), installedDir);
    std::filesystem::remove(installed.Path() + "script.ini");
    ASSERT_TRUE(TSettingsFile::RememberUpdateFolder(updateDir + "/gone", message)) << message;
    EXPECT_EQ(TSettingsFile::WindowFolder(installedDir), installedDir);
    EXPECT_EQ(ReadFile(user.Dir.Path() + "corvane-pelto-updater/Updater.prm"), "UPDATE_FOLDER=" + updateDir + "/gone\n");
}

// An installed updater's folder is the executable's, with no update in it:
// nothing is written there, not even where the user may write (root), and
// START says how to open an update.
TEST(UpdateFolder, NothingIsWrittenBesideAnInstalledExecutable)
{
    UserConfig config;
    const std::string folder = GetAppDir();
    ASSERT_FALSE(std::filesystem::exists(folder + "/script.ini"));
    ASSERT_EQ(::access(folder.c_str(), W_OK), 0);
    ASSERT_FALSE(std::filesystem::exists(folder + "/Updater.prm")) << "left by an earlier run";
    ASSERT_FALSE(std::filesystem::exists(folder + "/reports")) << "left by an earlier run";
    {
        AppBench bench;
        bench.OpenAt(folder);
        ASSERT_TRUE(bench.Run());
        const std::vector<std::string> lines = bench.StatusLines();
        const auto missing = std::find(lines.begin(), lines.end(), folder + "/script.ini File not found !!!");
        ASSERT_NE(missing, lines.end());
        ASSERT_NE(missing + 1, lines.end());
        EXPECT_EQ(missing[1], "Open an update folder: File > Open update..., or --app-dir");
        bench.Window().FormClose();
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/Updater.prm"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/reports"));
    EXPECT_TRUE(std::filesystem::exists(config.Dir.Path() + "corvane-pelto-updater/Updater.prm"));
    EXPECT_TRUE(std::filesystem::is_directory(config.Dir.Path() + "corvane-pelto-updater/reports"));
}
