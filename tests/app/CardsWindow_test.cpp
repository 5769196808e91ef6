// The window of several cards, offscreen, against simulated cards on the
// test's own event loop: runs of several cards at once, the rows, the summary,
// the reports, the dialogs that add cards, and the set kept in "Updater.prm".
#include "AppBench.h"
#include "CardProcess.h"
#include "CardsWindow.h"
#include "RunProcess.h"
#include "CompDlg.h"
#include "FindCardsDialog.h"
#include "SerialChecklistDialog.h"
#include "TextDialog.h"
#include "UdpLink.h"
#include "ipconfig.h"

#include <QAction>
#include <QCoreApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

std::uint64_t MonotonicMs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// The --port text that reaches a simulated card.
std::string PortText(const CardBench& card)
{
    switch (card.Via) {
    case Transport::Tcp: return "tcp://127.0.0.1:" + card.Link->Address();
    case Transport::Udp: return "udp://127.0.0.1:" + card.Link->Address() + "?local=" + std::to_string(card.LocalUdpPort);
    case Transport::Pty: return card.Link->Address();
    }
    return {};
}

// A folder with an update, and the window of several cards over it; boxes and
// dialogs are recorded, a dialog does what Action says and returns its result.
class CardsBench {
public:
    explicit CardsBench(const std::string& settings = {}, bool keepCards = true)
    {
        Bundle = WriteUpdateBundle(Dir);
        if (!settings.empty())
            Dir.Write("Updater.prm", settings);
        Open(keepCards);
    }
    void Open(bool keepCards = true, const std::optional<TReportBundle>& bundle = std::nullopt)
    {
        Window.reset();
        Settings = std::make_unique<TSettingsFile>();
        TCardsSetup setup;
        setup.AppDir = Folder();
        setup.Bundle = bundle;
        setup.Choice = Settings->Load(TSettingsFile::LoadPathFor(Folder()), {});
        setup.KeepCards = keepCards;
        Window = std::make_unique<TCardsWindow>(setup, *Settings);
        Window->ShowBox = [this](TBoxKind kind, const QString& text) {
            Boxes.push_back(text.toStdString());
            return kind != TBoxKind::Question || AnswerQuestions;
        };
        Window->ShowDialog = [this](QDialog& dialog) {
            Shown.push_back(&dialog);
            return Action ? Action(dialog) : static_cast<int>(QDialog::Rejected);
        };
        Window->LoadCards();
    }
    std::string Folder() const { return Dir.Path().substr(0, Dir.Path().size() - 1); }
    TCardSet& Cards() { return Window->GetCards(); }
    // Effect files open without their pause, so the runs are short.
    void NoJtagPause()
    {
        for (std::size_t index = 0; index < Cards().Count(); ++index)
            Cards().Session(index).GetProgJtag().PlayOpenPause = std::chrono::milliseconds(0);
    }
    std::string Cell(int row, int column) const { return Window->CardTable->item(row, column)->text().toStdString(); }
    bool RunAll(int timeoutMs = 30000)
    {
        NoJtagPause();
        Window->StartClick();
        return WaitUntil([this] { return !Cards().AnyRunning(); }, timeoutMs);
    }
    std::vector<QJsonObject> Reports() const
    {
        std::vector<QJsonObject> reports;
        if (!std::filesystem::exists(Dir.Path() + "reports"))
            return reports;
        for (const auto& entry : std::filesystem::directory_iterator(Dir.Path() + "reports"))
            if (entry.path().extension() == ".json")
                reports.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(entry.path()))).object());
        return reports;
    }

    TempDir Dir;
    UpdateBundle Bundle;
    std::unique_ptr<TSettingsFile> Settings;
    std::unique_ptr<TCardsWindow> Window;
    Lines Boxes;
    bool AnswerQuestions = true;
    std::vector<QDialog*> Shown;
    std::function<int(QDialog&)> Action;
};

}  // namespace

// A pseudo-terminal, a TCP and a UDP card (which refuses the erase of bank 1),
// started together: two complete with exactly their images, the third fails
// in its own row without a box, the summary names all three, and each card
// leaves its own report.
TEST(CardsWindow, ThreeCardsRunTogetherAndOneFailsInItsRow)
{
    CardOptions refusing;
    refusing.Faults.Refused = {"P1"};
    CardBench pty(Transport::Pty), tcp(Transport::Tcp), udp(Transport::Udp, refusing);
    CardsBench bench({}, false);
    TCardsWindow& window = *bench.Window;
    window.show();
    for (const CardBench* card : {&pty, &tcp, &udp})
        ASSERT_TRUE(window.AddPort(PortText(*card)));
    ASSERT_EQ(window.CardTable->rowCount(), 3);
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColResult), "idle");

    bench.NoJtagPause();
    window.StartClick();
    EXPECT_EQ(window.Start->text(), "STOP");
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(bench.Cell(row, TCardsWindow::ColResult), "running");
    EXPECT_FALSE(window.Program1->menuAction()->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !bench.Cards().AnyRunning(); }, 30000));

    EXPECT_TRUE(HoldsBundle(pty.Card, bench.Bundle));
    EXPECT_TRUE(HoldsBundle(tcp.Card, bench.Bundle));
    EXPECT_FALSE(udp.Card.Bank(1).Verified);
    EXPECT_TRUE(bench.Boxes.empty()) << bench.Boxes.front();
    for (int row : {0, 1}) {
        EXPECT_EQ(bench.Cell(row, TCardsWindow::ColResult), "completed");
        EXPECT_EQ(bench.Cell(row, TCardsWindow::ColStep), "Program operation completed");
    }
    EXPECT_EQ(bench.Cell(2, TCardsWindow::ColResult), "failed");
    EXPECT_EQ(bench.Cell(2, TCardsWindow::ColStep), "Error while erasing !!!");
    EXPECT_EQ(window.CardTable->item(2, TCardsWindow::ColStep)->toolTip().toStdString(),
              "Error while erasing !!!\n" + bench.Dir.Path() + "MB/script.ini");
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(bench.Cell(row, TCardsWindow::ColDevice), "AAAA");
    EXPECT_EQ(window.Start->text(), "START");
    EXPECT_TRUE(window.Program1->menuAction()->isEnabled());

    // The summary comes once every card has ended, ready to copy.
    ASSERT_TRUE(WaitUntil([&] { return !bench.Shown.empty(); }));
    ASSERT_EQ(bench.Shown, std::vector<QDialog*>{&window.GetSummaryDialog()});
    const Lines summary = SplitLines(window.GetSummaryDialog().Text().toStdString());
    ASSERT_EQ(summary.size(), 4u);
    EXPECT_EQ(summary[0].rfind("PORT", 0), 0u);
    for (std::size_t row = 0; row < 3; ++row)
        EXPECT_EQ(summary[row + 1].rfind(PortText(*std::vector<const CardBench*>{&pty, &tcp, &udp}[row]) + " ", 0), 0u)
            << summary[row + 1];
    EXPECT_NE(summary[3].find(" failed "), std::string::npos);
    window.GetSummaryDialog().CopyClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), window.GetSummaryDialog().Text());

    std::map<std::string, std::string> results;
    for (const QJsonObject& report : bench.Reports())
        results[report["port"].toString().toStdString()] = report["result"].toString().toStdString();
    EXPECT_EQ(results, (std::map<std::string, std::string>{{pty.Link->Address(), "completed"},
                                                            {"tcp://127.0.0.1:" + tcp.Link->Address(), "completed"},
                                                            {"udp://127.0.0.1:" + udp.Link->Address(), "failed"}}));
}

// The cards of an update unpacked from a bundle keep their lines to its files
// and name the bundle in their reports. This one was signed, but no trusted
// key was set up: the report does not pass the key ID off as a checked signer.
TEST(CardsWindow, CardsOfABundleNameItInTheirReports)
{
    CardBench tcp(Transport::Tcp);
    CardsBench bench({}, false);
    const TReportBundle bundle{"/media/update.zip", std::string(64, 'a'), "Update 1.50", "1A2B3C4D", false};
    bench.Open(false, bundle);
    ASSERT_TRUE(bench.Window->AddPort(PortText(tcp)));
    EXPECT_TRUE(bench.Cards().Session(0).IsConfinedToFolder());
    ASSERT_TRUE(bench.RunAll());
    const std::vector<QJsonObject> reports = bench.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]["result"].toString(), "completed");
    EXPECT_EQ(reports[0]["bundle"].toObject(),
              (QJsonObject{{"file", "/media/update.zip"},
                           {"sha256", QString(64, 'a')},
                           {"name", "Update 1.50"},
                           {"signed", true},
                           {"signer_key_id", "1A2B3C4D"},
                           {"signer_trusted", false}}));
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(bench.Dir.Path() + "reports"))
        if (entry.path().extension() == ".log")
            log = ReadFile(entry.path());
    EXPECT_NE(log.find("\nSigned by   : 1A2B3C4D (no trusted key set up: its origin was not checked)\n"), std::string::npos)
        << log;
}

// Cards come from the serial devices present (a checklist), a LAN address or
// the command line; the same card twice is refused. The set is kept in
// "Updater.prm" as CARD1, CARD2 ... below every line that was there, which stay
// as they were, and comes back when the window opens again.
TEST(CardsWindow, CardsAddedAndRemovedAreKeptBesideTheOtherSettings)
{
    const std::string settings = "# station 4\nCON_TYPE=UDP\nCOM_PORT=NA\nREMOTE_IP=10.0.0.9\nREMOTE_PORT=10600\n"
                                 "LOCAL_PORT=10700\nCOM2=/dev/ttyUSB7\nCHECK_UPDATE=NO\n";
    CardsBench bench(settings);
    TCardsWindow& window = *bench.Window;
    EXPECT_FALSE(window.MCheckUpdate->isChecked());
    window.SerialDevices.Source = [] {
        return std::vector<TSerialDeviceInfo>{{"/dev/ttyUSB7", "FT232R USB UART", "FTDI", "A1"}, {"/dev/ttyUSB0", "", "", ""}};
    };
    bench.Action = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &window.GetSerialChecklist());
        EXPECT_EQ(window.GetSerialChecklist().DeviceList->count(), 2);
        window.GetSerialChecklist().Check("/dev/ttyUSB7");
        return static_cast<int>(QDialog::Accepted);
    };
    window.AddSerialClick();
    // The LAN dialog starts from the settings' values.
    bench.Action = [&](QDialog& dialog) {
        TIPConfigDlg& lan = window.GetLanDialog();
        EXPECT_EQ(&dialog, &lan);
        EXPECT_EQ(lan.ERemoteAddr->text(), "10.0.0.9");
        lan.RBTcpClick();
        lan.ERemotePort->setText("10800");
        lan.BOkClick();
        return static_cast<int>(QDialog::Accepted);
    };
    window.AddLanClick();
    ASSERT_TRUE(window.AddPort("udp://10.0.0.10:10500"));
    EXPECT_TRUE(bench.Boxes.empty());

    // Again, or by another name: refused, with the reason.
    window.AddLanClick();
    EXPECT_FALSE(window.AddPort("COM2"));  // the settings make COM2 open /dev/ttyUSB7
    EXPECT_FALSE(window.AddPort("udp://10.0.0.11:10500"));  // a second UDP card on local port 10700
    EXPECT_FALSE(window.AddPort("ftp://10.0.0.12"));
    ASSERT_EQ(bench.Boxes.size(), 4u);
    EXPECT_EQ(bench.Boxes[0], "Card not added : the same card twice: tcp://10.0.0.9:10800, tcp://10.0.0.9:10800");
    EXPECT_EQ(bench.Boxes[1], "Card not added : the same card twice: /dev/ttyUSB7, COM2");
    EXPECT_EQ(bench.Boxes[2].rfind("Card not added : two UDP cards on one local port: 10700", 0), 0u) << bench.Boxes[2];
    EXPECT_EQ(bench.Boxes[3].rfind("Card not added : --port takes", 0), 0u) << bench.Boxes[3];
    // A device already among the cards is not offered again.
    bench.Action = [&](QDialog&) {
        EXPECT_EQ(window.GetSerialChecklist().DeviceList->count(), 1);
        return static_cast<int>(QDialog::Rejected);
    };
    window.AddSerialClick();

    ASSERT_EQ(window.CardTable->rowCount(), 3);
    window.FormClose();
    const std::string saved = ReadFile(bench.Dir.Path() + "Updater.prm");
    EXPECT_EQ(saved, settings + "CARD1=/dev/ttyUSB7\nCARD2=tcp://10.0.0.9:10800\nCARD3=udp://10.0.0.10:10500\n");

    bench.Open();
    TCardsWindow& again = *bench.Window;
    ASSERT_EQ(again.CardTable->rowCount(), 3);
    EXPECT_EQ(bench.Cell(1, TCardsWindow::ColPort), "tcp://10.0.0.9:10800");
    EXPECT_EQ(bench.Cards().Card(2).Port.Link.LocalPort, 10700);
    again.CardTable->selectRow(0);
    again.RemoveClick();
    ASSERT_EQ(again.CardTable->rowCount(), 2);
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColPort), "tcp://10.0.0.9:10800");
    again.FormClose();
    EXPECT_EQ(ReadFile(bench.Dir.Path() + "Updater.prm"),
              settings + "CARD1=tcp://10.0.0.9:10800\nCARD2=udp://10.0.0.10:10500\n");

    // A kept card that names no link is left out, with a warning.
    bench.Dir.Write("Updater.prm", settings + "CARD1=tcp://10.0.0.9\nCARD2=COM3\n");
    bench.Boxes.clear();
    bench.Open();
    EXPECT_EQ(bench.Window->CardTable->rowCount(), 1);
    ASSERT_EQ(bench.Boxes.size(), 1u);
    EXPECT_EQ(bench.Boxes[0].rfind("Bad value in Updater.prm, card left out : --port takes", 0), 0u) << bench.Boxes[0];
}

// One card started alone from its row and stopped; closing the window during a
// run asks first, and stops every run once the operator agrees. A double click
// shows a card's status list.
TEST(CardsWindow, CardsStartAndStopOneByOneAndClosingAsksFirst)
{
    CardBench silent(Transport::Tcp), other(Transport::Tcp);
    SimulatedCard& card = silent.Card;
    const std::function<void(const std::string&)> answer = card.OnOutput;
    card.OnOutput = [&card, answer](const std::string& bytes) {
        if (card.Bank(1).LinesWritten <= 2)
            answer(bytes);
    };
    CardsBench bench({}, false);
    TCardsWindow& window = *bench.Window;
    window.show();
    ASSERT_TRUE(window.AddPort(PortText(silent)));
    ASSERT_TRUE(window.AddPort(PortText(other)));

    window.StartCard(0);
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColResult), "running");
    EXPECT_EQ(bench.Cell(1, TCardsWindow::ColResult), "idle");
    EXPECT_EQ(window.Start->text(), "STOP");
    ASSERT_TRUE(WaitUntil([&] { return card.Bank(1).LinesWritten > 2; }, 20000));
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColStep), "Upload Bank1");
    window.StopCard(0);
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColResult), "stopped");
    ASSERT_TRUE(WaitUntil([&] { return !bench.Shown.empty(); }));
    EXPECT_EQ(SplitLines(window.GetSummaryDialog().Text().toStdString()).size(), 2u);  // the heading and the one card

    bench.Shown.clear();
    window.ShowStatusList(0);
    ASSERT_EQ(bench.Shown, std::vector<QDialog*>{&window.GetStatusDialog()});
    const Lines lines = SplitLines(window.GetStatusDialog().Text().toStdString());
    EXPECT_EQ(lines.front(), "Click on button START to begin program operation");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Erase Bank1"), lines.end());

    // START now runs every card that is not running.
    window.StartClick();
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColResult), "running");
    EXPECT_EQ(bench.Cell(1, TCardsWindow::ColResult), "running");
    bench.AnswerQuestions = false;
    EXPECT_FALSE(window.close());
    EXPECT_EQ(bench.Boxes, Lines{"A run is in progress: closing stops it."});
    EXPECT_TRUE(bench.Cards().AnyRunning());
    bool closed = false;
    window.OnClosed = [&closed] { closed = true; };
    bench.AnswerQuestions = true;
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(closed);
    EXPECT_FALSE(bench.Cards().AnyRunning());
    EXPECT_EQ(bench.Cards().Session(0).GetDriver().GetConType(), CON_NONE);
    EXPECT_EQ(bench.Cards().Session(1).GetDriver().GetConType(), CON_NONE);
    EXPECT_FALSE(std::filesystem::exists(bench.Dir.Path() + "Updater.prm"));  // the cards came from the command line
}

// Find cards asks before anything is sent; the cards found are added as UDP
// cards from a port the system chooses, and run together like any other.
TEST(CardsWindow, CardsFoundOnTheLanAreAddedAndUpdated)
{
    SimulatedCard first({}, MonotonicMs), second({}, MonotonicMs);
    UdpLink firstLink(first, 0, QHostAddress(QStringLiteral("127.0.0.3")));
    std::string error;
    ASSERT_TRUE(firstLink.Start(error)) << error;
    const std::string port = firstLink.Address();
    UdpLink secondLink(second, static_cast<quint16>(std::stoi(port)), QHostAddress(QStringLiteral("127.0.0.4")));
    ASSERT_TRUE(secondLink.Start(error)) << error;

    CardsBench bench("LOCAL_PORT=10700\n");
    TCardsWindow& window = *bench.Window;
    TFindCardsDialog& find = window.GetFindDialog();
    find.GetFinder().SetPace(TCardFinder::DefaultPerSecond, 100);
    bench.Action = [&](QDialog&) {
        find.ERange->setText("127.0.0.2-5");
        find.EPort->setText(QString::fromStdString(port));
        bench.AnswerQuestions = false;
        EXPECT_FALSE(find.FindClick());
        bench.AnswerQuestions = true;
        EXPECT_TRUE(find.FindClick());
        EXPECT_TRUE(WaitUntil([&] { return !find.Searching(); }));
        return static_cast<int>(find.CardList->count() == 2 ? QDialog::Accepted : QDialog::Rejected);
    };
    window.FindCardsClick();
    ASSERT_EQ(bench.Boxes.size(), 2u);
    EXPECT_EQ(bench.Boxes[0], "Send the device query \"?\" over UDP to port " + port +
                                  " of 4 address(es), 127.0.0.2-5? Nothing else is sent to the cards.");
    ASSERT_EQ(window.CardTable->rowCount(), 2);
    EXPECT_EQ(bench.Cell(0, TCardsWindow::ColPort), "udp://127.0.0.3:" + port + "?local=0");
    EXPECT_EQ(bench.Cell(1, TCardsWindow::ColPort), "udp://127.0.0.4:" + port + "?local=0");
    EXPECT_EQ(first.FirmwareCommands(), (std::map<std::string, std::uint64_t>{{"?", 1}}));

    ASSERT_TRUE(bench.RunAll());
    EXPECT_TRUE(HoldsBundle(first, bench.Bundle));
    EXPECT_TRUE(HoldsBundle(second, bench.Bundle));
}

// File > Several cards... opens the window of several cards over the main
// window's folder and settings in its place; the main window comes back when
// it closes.
TEST(CardsWindow, OpensFromTheMainWindowInItsPlace)
{
    AppBench bench;
    bench.Dir.Write("Updater.prm", "CON_TYPE=TCP\nCARD1=tcp://10.0.0.9:10800\n");
    bench.Open();
    TMainFich& main = bench.Window();
    main.show();
    EXPECT_EQ(main.SeveralCards->text(), "Se&veral cards...");
    main.SeveralCards->trigger();
    TCardsWindow* cards = main.GetCardsWindow();
    ASSERT_NE(cards, nullptr);
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(cards->isVisible());
    ASSERT_EQ(cards->CardTable->rowCount(), 1);
    ASSERT_TRUE(cards->AddPort("tcp://10.0.0.9:10801"));
    EXPECT_EQ(main.GetSettings().List().Value("CARD2"), "tcp://10.0.0.9:10801");
    EXPECT_TRUE(cards->close());
    EXPECT_TRUE(main.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.GetCardsWindow(), nullptr);
    main.FormClose();
    const std::string saved = ReadFile(bench.Dir.Path() + "Updater.prm");
    EXPECT_EQ(saved.rfind("CON_TYPE=TCP\nCARD1=tcp://10.0.0.9:10800\nCARD2=tcp://10.0.0.9:10801\n", 0), 0u) << saved;
}

// A station's launcher: the cards on the command line, started as the window
// opens. The window stays open; the runs' reports say when they are over.
TEST(CardsWindow, PortsAndStartFromTheCommandLine)
{
    TempDir dir;
    const UpdateBundle bundle = WriteUpdateBundle(dir);
    TempDir firstDir, secondDir;
    CardProcess first(Transport::Tcp, firstDir), second(Transport::Pty, secondDir);
    ASSERT_TRUE(first.Started && second.Started);
    const std::string tcpPort = "tcp://127.0.0.1:" + first.Address;

    const ProcessResult clash =
        RunProcess({CORVANE_UPDATER, "--app-dir", dir.Path(), "--port", tcpPort, "--port", tcpPort, "--start"});
    EXPECT_EQ(clash.ExitCode, 2);
    EXPECT_NE(clash.Err.find("the same card twice"), std::string::npos) << clash.Err;

    ChildProcess updater;
    ASSERT_TRUE(updater.Start({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", CORVANE_UPDATER, "--app-dir", dir.Path(),
                               "--port", tcpPort, "--port", second.Address, "--start"}));
    const auto reports = [&dir] {
        std::size_t count = 0;
        if (std::filesystem::exists(dir.Path() + "reports"))
            for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "reports"))
                count += entry.path().extension() == ".json";
        return count;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (reports() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(reports(), 2u);
    updater.Stop(SIGTERM);
    for (CardProcess* card : {&first, &second}) {
        const QJsonObject state = card->State();
        EXPECT_TRUE(HoldsImage(AreaOf(state["banks"].toArray()[1].toObject()), bundle.Bank1));
        EXPECT_EQ(state["mode"].toString(), "firmware");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "Updater.prm"));
}
