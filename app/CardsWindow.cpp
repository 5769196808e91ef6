#include "CardsWindow.h"

#include "CompDlg.h"
#include "DecodedText.h"
#include "FindCardsDialog.h"
#include "SerialChecklistDialog.h"
#include "TextDialog.h"
#include "TextlessProgressBar.h"
#include "Utils.h"
#include "constante.h"
#include "ipconfig.h"
#include "textutil.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace {

constexpr int WindowWidth = 960;
constexpr int WindowHeight = 340;
constexpr int BarWidth = 120;
constexpr int BarHeight = 12;
constexpr int BarMargin = 4;
constexpr int StartWidth = 169;
constexpr int ButtonHeight = 41;
const QColor FailedText(0xB0, 0x10, 0x10);

QString Text(const char* text) { return QString::fromLatin1(text); }

QString ResultText(const TCardSet::TCard& card)
{
    switch (card.State) {
    case TCardSet::TCardState::Idle: return Text(constante::CardIdle);
    case TCardSet::TCardState::Running: return Text(constante::CardRunning);
    case TCardSet::TCardState::Ended: break;
    }
    return Text(SummaryResultText(card.Result));
}

// A cell that holds a bar, centred and slimmer than the row.
QWidget* MakeBarCell(QWidget* parent)
{
    auto* cell = new QWidget(parent);
    auto* bar = new TTextlessProgressBar(cell);
    bar->setTextVisible(false);
    bar->setFixedHeight(BarHeight);
    bar->setRange(0, 100);
    bar->setValue(0);
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(BarMargin, 0, BarMargin, 0);
    layout->addWidget(bar);
    return cell;
}

}  // namespace

TCardsWindow::TCardsWindow(const TCardsSetup& setup, TSettingsFile& settings, QWidget* parent)
    : QMainWindow(parent),
      ShowBox(ModalBoxHook(this)),
      ShowDialog([](QDialog& dialog) { return dialog.exec(); }),
      Setup(setup),
      Settings(settings),
      Cards(setup.AppDir, setup.Script, settings.ReportFolder(setup.AppDir))
{
    if (setup.Bundle)
        Cards.SetBundle(*setup.Bundle);
    setWindowFlag(Qt::Window);
    setWindowTitle(Latin1(FormatText(constante::CardsCaptionFormat, constante::ProgramTitle)));
    setWindowIcon(ProgramIcon());
    BuildControls();
    BuildMenus();
    CompSel = new TCompSelDlg(this);
    CompSel->CBMB->setChecked(setup.Selection.Motherboard);
    CompSel->CBMBMCU->setChecked(setup.Selection.Mcu);
    CompSel->CBMBPROM1->setChecked(setup.Selection.Prom1);
    SerialChecklist = new TSerialChecklistDialog(this);
    LanDlg = new TIPConfigDlg(this);
    LanDlg->ShowBox = [this](TBoxKind kind, const QString& text) { return ShowBox(kind, text); };
    LanDlg->SetLanMode(setup.Choice.LanMode);
    LanDlg->SetRemoteAddress(setup.Choice.RemoteAddress);
    LanDlg->SetRemotePort(setup.Choice.RemotePort);
    LanDlg->SetLocalPort(setup.Choice.LocalPort);
    FindDlg = new TFindCardsDialog(this);
    FindDlg->ShowBox = [this](TBoxKind kind, const QString& text) { return ShowBox(kind, text); };
    FindDlg->Offer(setup.Choice.RemoteAddress, setup.Choice.RemotePort);
    StatusDlg = new TTextDialog(false, this);
    SummaryDlg = new TTextDialog(true, this);
    WireCards();
    resize(WindowWidth, WindowHeight);
}

TCardsWindow::~TCardsWindow()
{
    // The sessions go with the set; nothing of theirs reaches the window any more.
    Cards.OnCardChanged = nullptr;
    Cards.OnProgress = nullptr;
    Cards.OnStatusLine = nullptr;
    Cards.OnRunningChanged = nullptr;
    Cards.OnAllEnded = nullptr;
}

void TCardsWindow::BuildControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    CardTable = new QTableWidget(0, ColumnCount, client);
    CardTable->setHorizontalHeaderLabels({Text(constante::ColumnPort), Text(constante::ColumnDeviceId),
                                          Text(constante::ColumnStep), Text(constante::BarOperation),
                                          Text(constante::BarUpdate), Text(constante::ColumnTimeLeft),
                                          Text(constante::ColumnResult)});
    CardTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    CardTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    CardTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CardTable->setContextMenuPolicy(Qt::CustomContextMenu);
    CardTable->verticalHeader()->setVisible(false);
    QHeaderView* header = CardTable->horizontalHeader();
    header->setSectionResizeMode(ColPort, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ColDevice, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ColStep, QHeaderView::Stretch);
    header->setSectionResizeMode(ColTimeLeft, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ColResult, QHeaderView::ResizeToContents);
    CardTable->setColumnWidth(ColOperation, BarWidth);
    CardTable->setColumnWidth(ColUpdate, BarWidth);

    AddSerial = new QPushButton(Text(constante::MenuAddSerial), client);
    AddLan = new QPushButton(Text(constante::MenuAddLan), client);
    FindCards = new QPushButton(Text(constante::MenuFindCards), client);
    Start = new QPushButton(Text(constante::CaptionStart), client);
    Start->setFixedSize(StartWidth, ButtonHeight);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddSerial);
    buttons->addWidget(AddLan);
    buttons->addWidget(FindCards);
    buttons->addStretch();
    buttons->addWidget(Start);
    auto* layout = new QVBoxLayout(client);
    layout->addWidget(CardTable, 1);
    layout->addLayout(buttons);

    connect(Start, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(AddSerial, &QPushButton::clicked, this, [this] { AddSerialClick(); });
    connect(AddLan, &QPushButton::clicked, this, [this] { AddLanClick(); });
    connect(FindCards, &QPushButton::clicked, this, [this] { FindCardsClick(); });
    connect(CardTable, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { ShowStatusList(row); });
    connect(CardTable, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowContextMenu(at); });
}

void TCardsWindow::BuildMenus()
{
    Cards1 = menuBar()->addMenu(Text(constante::MenuCards));
    AddSerialItem = Cards1->addAction(Text(constante::MenuAddSerial));
    AddLanItem = Cards1->addAction(Text(constante::MenuAddLan));
    FindCardsItem = Cards1->addAction(Text(constante::MenuFindCards));
    RemoveItem = Cards1->addAction(Text(constante::MenuRemoveCard));
    Cards1->addSeparator();
    CloseItem = Cards1->addAction(Text(constante::MenuClose));
    connect(AddSerialItem, &QAction::triggered, this, [this] { AddSerialClick(); });
    connect(AddLanItem, &QAction::triggered, this, [this] { AddLanClick(); });
    connect(FindCardsItem, &QAction::triggered, this, [this] { FindCardsClick(); });
    connect(RemoveItem, &QAction::triggered, this, [this] { RemoveClick(); });
    connect(CloseItem, &QAction::triggered, this, [this] { close(); });

    Program1 = menuBar()->addMenu(Text(constante::MenuMode));
    ModeGroup = new QActionGroup(this);
    MAuto = Program1->addAction(Text(constante::MenuAuto));
    MManual = Program1->addAction(Text(constante::MenuManual));
    for (QAction* item : {MAuto, MManual}) {
        item->setCheckable(true);
        ModeGroup->addAction(item);
    }
    (Setup.Manual ? MManual : MAuto)->setChecked(true);
    Program1->addSeparator();
    MCheckUpdate = Program1->addAction(Text(constante::MenuCheckUpdate));
    MCheckUpdate->setCheckable(true);
    MCheckUpdate->setChecked(Setup.Choice.CheckUpdate);
    connect(MManual, &QAction::triggered, this, [this] { MManualClick(); });
}

void TCardsWindow::WireCards()
{
    Cards.OnCardChanged = [this](const TCardSet::TCard& card) { ShowCard(card); };
    Cards.OnProgress = [this](const TCardSet::TCard& card, TUpdateSession::TRunBar bar,
                              const TUpdateSession::TBarValue& value) { ShowBar(card, bar, value); };
    Cards.OnStatusLine = [this](const TCardSet::TCard& card, const std::string& line) {
        if (StatusCard == &card)
            StatusDlg->AppendLine(DecodedText(line));
    };
    Cards.OnRunningChanged = [this] { ShowRunning(); };
    // After the step that ended the last run: the summary is no part of it.
    Cards.OnAllEnded = [this] { QTimer::singleShot(0, this, [this] { ShowSummary(); }); };
}

// ---- The set of cards ------------------------------------------------------------------

void TCardsWindow::LoadCards()
{
    if (!Setup.KeepCards)
        return;
    for (int number = 1;; ++number) {
        const std::string text = Settings.List().Value(constante::KeyCardPrefix + std::to_string(number));
        if (text.empty())
            break;
        TPortArgument port;
        std::string error;
        if (!ParsePortArgument(text, Settings.List(), Setup.Choice.LocalPort, port, error) || !Cards.Add(port, error)) {
            ShowBox(TBoxKind::Warning, DecodedText(FormatText(constante::CardSettingBad, error)));
            continue;
        }
        AddRow(Cards.Card(Cards.Count() - 1));
    }
}

// The keys follow the rows; those of cards removed since go.
void TCardsWindow::KeepCards()
{
    if (!Setup.KeepCards)
        return;
    TSettingsList& list = Settings.List();
    for (std::size_t number = 1;; ++number) {
        const std::string key = constante::KeyCardPrefix + std::to_string(number);
        if (number <= Cards.Count()) {
            list.SetValue(key, Cards.Card(number - 1).Port.Text);
            continue;
        }
        const bool more = !list.Value(key).empty();
        list.Remove(key);
        if (!more)
            break;
    }
}

bool TCardsWindow::AddPort(const std::string& portText)
{
    TPortArgument port;
    std::string error;
    if (!ParsePortArgument(portText, Settings.List(), Setup.Choice.LocalPort, port, error)) {
        ShowBox(TBoxKind::Warning, DecodedText(FormatText(constante::CardNotAdded, error)));
        return false;
    }
    return AddCard(port);
}

bool TCardsWindow::AddCard(const TPortArgument& port)
{
    std::string error;
    if (!Cards.Add(port, error)) {
        ShowBox(TBoxKind::Warning, DecodedText(FormatText(constante::CardNotAdded, error)));
        return false;
    }
    AddRow(Cards.Card(Cards.Count() - 1));
    KeepCards();
    return true;
}

void TCardsWindow::AddRow(const TCardSet::TCard& card)
{
    const int row = CardTable->rowCount();
    CardTable->insertRow(row);
    for (int column : {ColPort, ColDevice, ColStep, ColTimeLeft, ColResult})
        CardTable->setItem(row, column, new QTableWidgetItem);
    for (int column : {ColOperation, ColUpdate})
        CardTable->setCellWidget(row, column, MakeBarCell(CardTable));
    ShowCard(card);
}

void TCardsWindow::RemoveClick()
{
    std::vector<int> rows;
    for (const QModelIndex& index : CardTable->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.rbegin(), rows.rend());
    for (int row : rows) {
        if (&Cards.Card(static_cast<std::size_t>(row)) == StatusCard)
            StatusCard = nullptr;
        if (Cards.Remove(static_cast<std::size_t>(row)))
            CardTable->removeRow(row);
    }
    KeepCards();
}

void TCardsWindow::AddSerialClick()
{
    std::set<std::string> present;
    for (const TPortArgument& port : Cards.Ports())
        if (!port.Link.IsLan())
            present.insert(port.Link.SerialDevice);
    SerialChecklist->Fill(SerialDevices.Read(), present);
    if (ShowDialog(*SerialChecklist) != QDialog::Accepted)
        return;
    for (const std::string& device : SerialChecklist->CheckedDevices())
        AddPort(device);
}

void TCardsWindow::AddLanClick()
{
    LanDlg->Applied = false;
    ShowDialog(*LanDlg);
    if (!LanDlg->Applied)
        return;
    const bool udp = LanDlg->LanMode == CON_UDP;
    std::string text = std::string(udp ? constante::ReportUdpScheme : constante::ReportTcpScheme) + LanDlg->RemoteAddress +
                       ':' + std::to_string(LanDlg->RemotePort);
    if (udp)
        text += "?local=" + std::to_string(LanDlg->LocalPort);
    AddPort(text);
}

// A card found answered a query sent from a port the system chose: it is
// reached the same way, which also lets any number of them run together.
void TCardsWindow::FindCardsClick()
{
    const int result = ShowDialog(*FindDlg);
    FindDlg->GetFinder().Stop();
    if (result != QDialog::Accepted)
        return;
    for (const TCardFinder::TFoundCard& card : FindDlg->CheckedCards())
        AddPort(TCardFinder::PortText(card) + "?local=0");
}

void TCardsWindow::MManualClick()
{
    MManual->setChecked(true);
    ShowDialog(*CompSel);
}

// ---- Runs ------------------------------------------------------------------------------

void TCardsWindow::FeedCards()
{
    Cards.SetManual(MManual->isChecked());
    Cards.SetSelection({CompSel->CBMB->isChecked(), CompSel->CBMBMCU->isChecked(), CompSel->CBMBPROM1->isChecked()});
    Cards.SetCheckUpdate(MCheckUpdate->isChecked());
}

void TCardsWindow::StartClick()
{
    if (Cards.AnyRunning()) {
        Cards.StopAll();
        return;
    }
    FeedCards();
    Cards.StartAll();
}

void TCardsWindow::StartCard(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= Cards.Count())
        return;
    FeedCards();
    Cards.Start(static_cast<std::size_t>(row));
}

void TCardsWindow::StopCard(int row)
{
    if (row >= 0)
        Cards.Stop(static_cast<std::size_t>(row));
}

void TCardsWindow::ShowContextMenu(const QPoint& at)
{
    const int row = CardTable->rowAt(at.y());
    if (row < 0)
        return;
    const bool running = Cards.Card(static_cast<std::size_t>(row)).State == TCardSet::TCardState::Running;
    QMenu menu(this);
    QAction* start = menu.addAction(Text(constante::MenuStartCard));
    QAction* stop = menu.addAction(Text(constante::MenuStopCard));
    QAction* lines = menu.addAction(Text(constante::MenuStatusList));
    QAction* remove = menu.addAction(Text(constante::MenuRemoveCard));
    start->setEnabled(!running);
    stop->setEnabled(running);
    remove->setEnabled(!running);
    QAction* chosen = menu.exec(CardTable->viewport()->mapToGlobal(at));
    if (chosen == start)
        StartCard(row);
    else if (chosen == stop)
        StopCard(row);
    else if (chosen == lines)
        ShowStatusList(row);
    else if (chosen == remove) {
        CardTable->selectRow(row);
        RemoveClick();
    }
}

// ---- What the cards look like ----------------------------------------------------------

void TCardsWindow::ShowCard(const TCardSet::TCard& card)
{
    const int row = static_cast<int>(Cards.IndexOf(card));
    if (row >= CardTable->rowCount())
        return;
    CardTable->item(row, ColPort)->setText(DecodedText(card.Port.Text));
    CardTable->item(row, ColDevice)->setText(QString::fromStdString(DeviceIdText(card.DeviceKnown, card.DeviceId)));
    QTableWidgetItem* step = CardTable->item(row, ColStep);
    step->setText(DecodedText(card.Step));
    step->setToolTip(DecodedText(card.BoxText.empty() ? card.Step : card.BoxText));
    QTableWidgetItem* result = CardTable->item(row, ColResult);
    result->setText(ResultText(card));
    const bool failed = card.State == TCardSet::TCardState::Ended && card.Result == TUpdateSession::TRunResult::Failed;
    result->setForeground(failed ? QBrush(FailedText) : CardTable->palette().brush(QPalette::Text));
    step->setForeground(result->foreground());
    if (card.State != TCardSet::TCardState::Running)
        CardTable->item(row, ColTimeLeft)->setText({});
}

void TCardsWindow::ShowBar(const TCardSet::TCard& card, TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value)
{
    const int row = static_cast<int>(Cards.IndexOf(card));
    if (row >= CardTable->rowCount() || bar == TUpdateSession::TRunBar::Component)
        return;
    QWidget* cell = CardTable->cellWidget(row, bar == TUpdateSession::TRunBar::Operation ? ColOperation : ColUpdate);
    auto* shown = cell->findChild<QProgressBar*>();
    // A bar with nothing to count stays empty rather than turning busy.
    shown->setRange(0, std::max(value.Maximum, 1));
    shown->setValue(value.Maximum > 0 ? value.Value : 0);
    const std::int64_t seconds = card.Session->SecondsLeft();
    CardTable->item(row, ColTimeLeft)->setText(seconds < 0 ? QString() : Latin1(TimeText(seconds)));
}

void TCardsWindow::ShowRunning()
{
    const bool running = Cards.AnyRunning();
    Start->setText(Text(running ? constante::CaptionStop : constante::CaptionStart));
    Program1->menuAction()->setEnabled(!running);
}

void TCardsWindow::ShowStatusList(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= Cards.Count())
        return;
    const TCardSet::TCard& card = Cards.Card(static_cast<std::size_t>(row));
    QStringList lines;
    for (const std::string& line : card.Lines)
        lines.append(DecodedText(line));
    StatusDlg->SetText(DecodedText(FormatText(constante::StatusListCaptionFormat, card.Port.Text)), lines.join('\n'));
    StatusCard = &card;
    ShowDialog(*StatusDlg);
    StatusCard = nullptr;
}

void TCardsWindow::ShowSummary()
{
    if (Closed)
        return;
    const std::vector<TSummaryRow> rows = Cards.Summary();
    if (rows.empty())
        return;
    QStringList lines;
    for (const std::string& line : SummaryLines(rows))
        lines.append(DecodedText(line));
    SummaryDlg->SetText(Text(constante::SummaryCaption), lines.join('\n'));
    ShowDialog(*SummaryDlg);
}

// ---- Closing ---------------------------------------------------------------------------

void TCardsWindow::closeEvent(QCloseEvent* event)
{
    if (!Closed && Cards.AnyRunning() && !ShowBox(TBoxKind::Question, Text(constante::CloseStopsRun))) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    if (OnClosed)
        OnClosed();
}

void TCardsWindow::FormClose()
{
    if (Closed)
        return;
    Closed = true;
    Cards.OnAllEnded = nullptr;
    Cards.Close();
    if (!Setup.KeepCards)
        return;
    KeepCards();
    std::string message;
    if (!Settings.SaveList(TSettingsFile::PathFor(Setup.AppDir), message))
        ShowBox(TBoxKind::Error, DecodedText(message));
}
