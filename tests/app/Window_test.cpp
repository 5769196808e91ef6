#include "AppBench.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> MemoLines(const TMainFich& window)
{
    std::vector<std::string> lines;
    for (const QString& line : window.MemoStatus->toPlainText().split('\n', Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    return lines;
}

}  // namespace

TEST(MainWindow, ReadIdScriptShowsThreeButtonsElseStartAlone)
{
    AppBench with;
    with.Dir.Write("readid.ini", "D8\r\n");
    with.Open();
    EXPECT_TRUE(with.Window().ReadId->isVisibleTo(&with.Window()));
    EXPECT_TRUE(with.Window().Quit->isVisibleTo(&with.Window()));
    EXPECT_TRUE(with.Window().Start->isVisibleTo(&with.Window()));

    AppBench without;
    without.Open();
    EXPECT_FALSE(without.Window().ReadId->isVisibleTo(&without.Window()));
    EXPECT_FALSE(without.Window().Quit->isVisibleTo(&without.Window()));
    EXPECT_EQ(without.Window().Start->text(), "Start");
}

TEST(MainWindow, CaptionMenusAndStartUpState)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    EXPECT_EQ(window.windowTitle(), "Corvane Pelto Updater (Device Id Unknown)");
    EXPECT_EQ(window.Com31->text(), "Com &3 (/dev/ttyS2) (absent)");
    EXPECT_EQ(window.AboutUpdater->text(), "About Corvane Pelto Updater");
    EXPECT_TRUE(window.Com11->isChecked());
    EXPECT_TRUE(window.MAuto->isChecked());
    EXPECT_TRUE(window.Timer1->isActive());
}

TEST(MainWindow, StatusListFiltersRoutineInfoButNeverErrors)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    window.ShowInfo("Verify Checksum");
    window.ShowInfo("Ping Card 3");
    window.ShowInfo("Verify Device Type");
    window.ShowInfo("Verify Device Type");
    window.ShowError("Ping Card 1");
    window.ShowError("Ping Card 1");
    window.ShowInfo("Verify Device Type");
    EXPECT_EQ(MemoLines(window), (std::vector<std::string>{"Verify Device Type", "Ping Card 1", "Verify Device Type"}));
    // An error sends the sequencer to its error state even when the line is not repeated.
    EXPECT_EQ(window.GetSession().GetSeqState(), TSeqState::Failed);
}

TEST(MainWindow, IdlePromptOncePerIdlePeriod)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    for (int tick = 0; tick < 3; ++tick)
        window.Timer1Timer();
    EXPECT_EQ(MemoLines(window), (std::vector<std::string>{"Click on button START to begin program operation"}));
    EXPECT_EQ(window.Start->text(), "START");
    EXPECT_EQ(window.GetCurentCardDir(), bench.Dir.Path());
    EXPECT_EQ(window.GetSession().GetProgJtag().GetCurentDir(), bench.Dir.Path());
    EXPECT_TRUE(window.Port1->menuAction()->isEnabled());
}

TEST(MainWindow, PortItemsFormOneRadioGroup)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    EXPECT_EQ(window.SelectedComPort(), "COM1");
    window.Com71->trigger();
    EXPECT_EQ(window.SelectedComPort(), "COM7");
    EXPECT_FALSE(window.Com11->isChecked());
    window.ComClick(4);
    EXPECT_EQ(window.SelectedComPort(), "COM4");
    EXPECT_FALSE(window.Com71->isChecked());

    // LAN/Setup counts only once the dialog is applied; the menu's own check is taken back.
    bench.DialogAction = [](QDialog&) {};
    window.LAN1->trigger();
    EXPECT_FALSE(window.LAN1->isChecked());
    EXPECT_TRUE(window.Com41->isChecked());
    bench.DialogAction = [&](QDialog&) { bench.LanDialog().BOkClick(); };
    window.LAN1->trigger();
    EXPECT_TRUE(window.LAN1->isChecked());
    EXPECT_EQ(window.SelectedComPort(), "COM1");
    // Cancelled while the LAN is chosen: the LAN stays chosen.
    bench.DialogAction = [&](QDialog&) { bench.LanDialog().BCancelClick(); };
    window.LAN1->trigger();
    EXPECT_TRUE(window.LAN1->isChecked());
    EXPECT_EQ(bench.DialogsShown, (std::vector<QDialog*>(3, &bench.LanDialog())));
}

TEST(MainWindow, ManualShowsTheWindowsOwnSelectionEveryTime)
{
    AppBench bench;
    bench.Open();
    TMainFich& window = bench.Window();
    bench.DialogAction = [&](QDialog& dialog) {
        ASSERT_EQ(&dialog, &window.GetCompSel());
        window.GetCompSel().CBMBMCU->setChecked(false);
    };
    window.MManual->trigger();
    window.MManual->trigger();
    EXPECT_EQ(bench.DialogsShown.size(), 2u);
    EXPECT_NE(bench.DialogsShown[0], &bench.Windows->CompSelDlg);
    EXPECT_TRUE(window.MManual->isChecked());
    window.MAuto->trigger();
    EXPECT_TRUE(window.MAuto->isChecked());
    EXPECT_FALSE(window.MManual->isChecked());
    EXPECT_FALSE(window.GetCompSel().CBMBMCU->isChecked());

    bench.DialogAction = nullptr;
    window.AboutUpdater->trigger();
    ASSERT_EQ(bench.DialogsShown.size(), 3u);
    EXPECT_EQ(bench.DialogsShown[2], &bench.Windows->AboutBox);
}
