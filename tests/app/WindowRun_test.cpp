// What a run looks like in the window: buttons, menus, bars, caption, the
// error box, and what closing the window does to a run. The runs themselves
// are the session tests' business.
#include "AppBench.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QPlainTextEdit>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Lines = std::vector<std::string>;

// The windows over a folder whose "Updater.prm" leads to a simulated card.
struct WindowRun {
    explicit WindowRun(CardOptions options = {}) : Card(Transport::Tcp, options) { Bundle = WriteUpdateBundle(Bench.Dir); }
    void Open()
    {
        Bench.Dir.Write("Updater.prm", Card.SettingsText());
        Bench.Open();
    }
    TMainFich& Window() { return Bench.Window(); }
    // The card goes silent part-way through bank 1, so the run stays on until it is stopped.
    void SilenceInBank1()
    {
        SimulatedCard& card = Card.Card;
        const std::function<void(const std::string&)> answer = card.OnOutput;
        card.OnOutput = [&card, answer](const std::string& bytes) {
            if (card.Bank(1).LinesWritten <= 2)
                answer(bytes);
        };
    }
    bool InBank1() { return WaitUntil([this] { return Card.Card.Bank(1).LinesWritten > 2; }); }

    CardBench Card;
    AppBench Bench;
    UpdateBundle Bundle;
};

bool Full(const QProgressBar* bar) { return bar->value() == bar->maximum(); }

}  // namespace

TEST(WindowRun, CompletedRunFillsTheBarsAndShowsTheDeviceInTheCaption)
{
    WindowRun run;
    run.Open();
    TMainFich& window = run.Window();
    window.StartClick();
    EXPECT_FALSE(window.Quit->isEnabled());
    window.Timer1Timer();
    EXPECT_EQ(window.Start->text(), "STOP");
    EXPECT_FALSE(window.Port1->menuAction()->isEnabled());
    EXPECT_FALSE(window.Program1->menuAction()->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return window.GetSession().IsIdle(); }, 20000));

    EXPECT_TRUE(HoldsBundle(run.Card.Card, run.Bundle));
    EXPECT_TRUE(run.Bench.Boxes.empty());
    EXPECT_EQ(run.Bench.StatusLines().back(), "Program operation completed");
    EXPECT_EQ(window.windowTitle(), "Corvane Pelto Updater Device ID : AAAA");
    EXPECT_TRUE(Full(window.ProgressBar1) && Full(window.ProgressBar2) && Full(window.ProgressBar3));
    EXPECT_TRUE(window.Port1->menuAction()->isEnabled());
    EXPECT_TRUE(window.Quit->isEnabled());
    EXPECT_EQ(window.Start->text(), "QUIT");  // for one tick: no Read Id button here
    window.Timer1Timer();
    EXPECT_EQ(window.Start->text(), "START");
    EXPECT_EQ(window.Timer1->interval(), 500);
    EXPECT_EQ(window.GetReport().LastJsonPath().rfind(run.Bench.Dir.Path() + "reports/", 0), 0u);

    // File > Last run... shows the run's report as text, with its account.
    window.LastRun->trigger();
    ASSERT_NE(window.LastRunDlg, nullptr);
    EXPECT_TRUE(window.LastRunDlg->isVisible());
    const std::string text = window.LastRunDlg->Text().toStdString();
    EXPECT_NE(text.find("\nProgrammed: bank 0, bank 1, PROM PROM.SVF, boot\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Program operation completed"), std::string::npos);
}

TEST(WindowRun, LastRunBeforeAnyRunSaysThereIsNone)
{
    WindowRun run;
    run.Open();
    run.Window().LastRun->trigger();
    EXPECT_EQ(run.Bench.Boxes, std::vector<std::string>{"No run has left a report yet"});
    EXPECT_EQ(run.Window().LastRunDlg, nullptr);
}

// REPORT_DIR in "Updater.prm" moves the reports: a relative folder is within the program's folder.
TEST(WindowRun, ReportsGoWhereTheSettingsSay)
{
    WindowRun run;
    run.Bench.Dir.Write("script.ini", "prompt one\r\n");
    run.Bench.Dir.Write("Updater.prm", run.Card.SettingsText() + "REPORT_DIR=runs/here\n");
    run.Bench.Open();
    ASSERT_TRUE(run.Bench.Run());
    const std::string json = run.Window().GetReport().LastJsonPath();
    EXPECT_EQ(json.rfind(run.Bench.Dir.Path() + "runs/here/", 0), 0u) << json;
    EXPECT_TRUE(std::filesystem::exists(run.Window().GetReport().LastLogPath()));
    EXPECT_FALSE(std::filesystem::exists(run.Bench.Dir.Path() + "reports"));
    run.Window().FormClose();
    EXPECT_NE(ReadFile(run.Bench.Dir.Path() + "Updater.prm").find("REPORT_DIR=runs/here\n"), std::string::npos);
}

TEST(WindowRun, FailedRunShowsTheErrorBoxThenOffersStartAgain)
{
    CardOptions options;
    options.Faults.Refused = {"P1"};
    WindowRun run(options);
    run.Bench.Dir.Write("readid.ini", "D8\r\n");
    run.Open();
    TMainFich& window = run.Window();
    std::string startCaptionDuringBox;
    window.ShowBox = [&](TBoxKind kind, const QString& text) {
        run.Bench.Boxes.push_back(text.toStdString());
        EXPECT_EQ(kind, TBoxKind::Error);
        startCaptionDuringBox = window.Start->text().toStdString();
        return true;
    };
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes, Lines{"Error while erasing !!!\n" + run.Bench.Dir.Path() + "MB/script.ini"});
    EXPECT_EQ(run.Bench.StatusLines().back(), "Error while erasing !!!");
    // With a Read Id button the Start button offers a new run at once.
    EXPECT_EQ(startCaptionDuringBox, "START");
    EXPECT_TRUE(window.ReadId->isEnabled());
    EXPECT_TRUE(window.Quit->isEnabled());
}

TEST(WindowRun, StopButtonEndsTheRunAndFreesTheControls)
{
    WindowRun run;
    run.SilenceInBank1();
    run.Open();
    TMainFich& window = run.Window();
    window.StartClick();
    window.Timer1Timer();
    ASSERT_TRUE(run.InBank1());
    window.StartClick();
    EXPECT_TRUE(window.GetSession().IsIdle());
    EXPECT_EQ(window.GetSession().GetDriver().GetConType(), CON_NONE);
    EXPECT_TRUE(window.Quit->isEnabled());
    window.Timer1Timer();
    EXPECT_EQ(window.Start->text(), "START");
    EXPECT_TRUE(window.Port1->menuAction()->isEnabled());
}

// Closing the window during a run asks first; declined, the run goes on;
// accepted, the run stops (link closed, no further step) before the settings
// are saved.
TEST(WindowRun, ClosingDuringARunAsksThenStopsIt)
{
    WindowRun run;
    run.SilenceInBank1();
    run.Open();
    TMainFich& window = run.Window();
    window.show();
    window.StartClick();
    window.Timer1Timer();
    ASSERT_TRUE(run.InBank1());

    // File > Quit (Ctrl+Q) asks as the close box does.
    run.Bench.AnswerQuestions = false;
    EXPECT_EQ(window.FileQuit->shortcut(), QKeySequence(QKeySequence::Quit));
    window.FileQuit->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.close());
    ASSERT_EQ(run.Bench.Boxes, (Lines{"A run is in progress: closing stops it.", "A run is in progress: closing stops it."}));
    EXPECT_EQ(run.Bench.BoxKinds, (std::vector<TBoxKind>{TBoxKind::Question, TBoxKind::Question}));
    EXPECT_FALSE(window.GetSession().IsIdle());
    EXPECT_TRUE(window.Timer1->isActive());

    run.Bench.AnswerQuestions = true;
    std::filesystem::remove(run.Bench.Dir.Path() + "Updater.prm");
    EXPECT_TRUE(window.close());
    EXPECT_EQ(run.Bench.Boxes.size(), 3u);
    EXPECT_TRUE(window.GetSession().IsIdle());
    EXPECT_EQ(window.GetSession().GetDriver().GetConType(), CON_NONE);
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_TRUE(std::filesystem::exists(run.Bench.Dir.Path() + "Updater.prm"));
    const std::size_t lines = run.Bench.StatusLines().size();
    const std::uint32_t written = run.Card.Card.Bank(1).LinesWritten;
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(run.Bench.StatusLines().size(), lines);
    EXPECT_EQ(run.Card.Card.Bank(1).LinesWritten, written);
    EXPECT_FALSE(run.Card.Card.Bank(1).Verified);
}

TEST(WindowRun, ClosingAnIdleWindowAsksNothing)
{
    AppBench bench;
    bench.Open();
    bench.Window().show();
    EXPECT_TRUE(bench.Window().close());
    EXPECT_TRUE(bench.Boxes.empty());

    // Without readid.ini there is no Quit button, but File > Quit is always there.
    AppBench bare;
    bare.Open();
    TMainFich& window = bare.Window();
    window.show();
    ASSERT_FALSE(window.Quit->isVisibleTo(&window));
    window.FileQuit->trigger();
    EXPECT_TRUE(WaitUntil([&] { return !window.isVisible(); }));
    EXPECT_TRUE(bare.Boxes.empty());
}

// An empty effect file gives its operation nothing to count: the bar stays
// empty instead of turning into a busy indicator that never stops.
TEST(WindowRun, BarWithNothingToCountStaysEmpty)
{
    WindowRun run;
    run.Bench.Dir.Write("MB/PROM.SVF", "");
    run.Bench.Dir.Write("MB/script.ini", "P8 PROM.SVF\r\n");
    run.Open();
    run.Window().MCheckUpdate->setChecked(false);
    ASSERT_TRUE(run.Bench.Run());
    EXPECT_EQ(run.Bench.Boxes, Lines{"Effect File Empty !!!\n" + run.Bench.Dir.Path() + "MB/script.ini"});
    const QProgressBar* bar = run.Window().ProgressBar1;
    EXPECT_GT(bar->maximum(), bar->minimum());
    EXPECT_EQ(bar->value(), bar->minimum());
}

// Paths are bytes in the file system's encoding, UTF-8 here.
TEST(WindowRun, FolderNamesWithAccentsShowAsWritten)
{
    AppBench bench;
    const std::string folder = "Mise \xC3\xA0 jour";
    std::filesystem::create_directories(bench.Dir.Path() + folder);
    bench.Open({}, folder);
    ASSERT_TRUE(bench.Run());
    const std::string script = bench.Dir.Path() + folder + "/script.ini";
    ASSERT_EQ(bench.Boxes.size(), 1u);
    EXPECT_EQ(bench.Boxes[0], script + " File not found !!!\n" + script);
    const std::vector<std::string> lines = bench.StatusLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], script + " File not found !!!");
    EXPECT_EQ(lines.back(), "Open an update folder: File > Open update..., or --app-dir");
    EXPECT_TRUE(bench.Window().MemoStatus->toPlainText().contains(QString::fromUtf8("Mise à jour")));
}

// The bars say what they count, and the time the run still needs shows beside
// them while the run is on.
TEST(WindowRun, BarsHaveLabelsAndTheTimeLeftShowsDuringARun)
{
    WindowRun run;
    run.Open();
    TMainFich& window = run.Window();
    EXPECT_EQ(window.OperationLabel->text(), "Operation");
    EXPECT_EQ(window.ComponentLabel->text(), "Component");
    EXPECT_EQ(window.UpdateLabel->text(), "Update");
    EXPECT_TRUE(window.TimeLeft->text().isEmpty());
    SimulatedCard& card = run.Card.Card;
    const std::function<void(const std::string&)> answer = card.OnOutput;
    card.OnOutput = [answer](const std::string& bytes) { QTimer::singleShot(40, [answer, bytes] { answer(bytes); }); };
    QStringList shown;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { shown.append(window.TimeLeft->text()); });
    sample.start(200);
    ASSERT_TRUE(run.Bench.Run(false, 60000)) << window.MemoStatus->toPlainText().toStdString();
    EXPECT_TRUE(shown.filter(QRegularExpression(QStringLiteral("^\\d+:\\d\\d left$"))).size() > 0) << shown.join('|').toStdString();
    window.Timer1Timer();
    EXPECT_TRUE(window.TimeLeft->text().isEmpty());
}
