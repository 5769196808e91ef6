#include "main.h"

#include "About.h"
#include "CompDlg.h"
#include "SerialDeviceDialog.h"
#include "TextlessProgressBar.h"
#include "DecodedText.h"
#include "constante.h"
#include "ipconfig.h"
#include "textutil.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The form's first size; the status list takes what the window gains.
constexpr int ClientWidth = 528;
constexpr int ClientHeight = 216;
constexpr int MinimumClientWidth = 400;
constexpr int MinimumClientHeight = 180;
constexpr int SideMargin = 22;
constexpr int TopMargin = 8;
constexpr int BottomMargin = 10;
constexpr int BarGap = 4;
constexpr int StatusFontPixels = 13;
constexpr int ButtonHeight = 41;
constexpr int StartWidth = 169;
constexpr int SideButtonWidth = 137;
constexpr int BarLabelPixels = 11;
constexpr int TimeLeftWidth = 70;

QString Text(const char* text) { return QString::fromLatin1(text); }

QProgressBar* MakeProgressBar(QWidget* parent, int height)
{
    auto* bar = new TTextlessProgressBar(parent);
    bar->setFixedHeight(height);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

QLabel* MakeBarLabel(QWidget* parent, const char* text)
{
    auto* label = new QLabel(Text(text), parent);
    QFont font = label->font();
    font.setPixelSize(BarLabelPixels);
    label->setFont(font);
    return label;
}

}  // namespace

TMainFich::TMainFich(std::string appDir, std::string scriptArgument, QWidget* parent)
    : QMainWindow(parent),
      ShowBox(ModalBoxHook(this)),
      ShowDialog([](QDialog& dialog) { return dialog.exec(); }),
      ChooseUpdate([this](const std::string& offered) {
          return QFileDialog::getOpenFileName(this, Text(constante::OpenUpdateCaption), QString::fromStdString(offered),
                                              Text(constante::OpenUpdateFilter))
              .toStdString();
      }),
      Session(std::make_unique<TUpdateSession>(std::move(appDir), std::move(scriptArgument))),
      Report(std::make_unique<TRunReport>(*Session, TSettingsFile::DefaultReportFolder(Session->GetAppDir())))
{
    BuildControls();
    BuildMenus();
    FormCreate();
    FormPaint();
}

TMainFich::~TMainFich()
{
    // The session calls back into the window: it goes while the window is whole.
    Report.reset();
    Session.reset();
}

void TMainFich::BuildControls()
{
    auto* client = new QWidget(this);
    client->setMinimumSize(MinimumClientWidth, MinimumClientHeight);
    setCentralWidget(client);

    Start = new QPushButton(Text(constante::ButtonStart), client);
    Start->setFixedSize(StartWidth, ButtonHeight);
    ProgressBar1 = MakeProgressBar(client, 9);
    Timer1 = &Session->GetTimer();
    MemoStatus = new QPlainTextEdit(client);
    MemoStatus->setReadOnly(true);
    // Read-only, but the operator can select lines and copy them (Ctrl+C) into a report.
    MemoStatus->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    MemoStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoLook = MemoStatus->palette();
    memoLook.setColor(QPalette::Base, palette().color(QPalette::Window));
    MemoStatus->setPalette(memoLook);
    QFont memoFont = MemoStatus->font();
    memoFont.setPixelSize(StatusFontPixels);
    MemoStatus->setFont(memoFont);
    ReadId = new QPushButton(Text(constante::ButtonReadId), client);
    ReadId->setFixedSize(SideButtonWidth, ButtonHeight);
    ReadId->setVisible(false);
    Quit = new QPushButton(Text(constante::ButtonQuit), client);
    Quit->setFixedSize(SideButtonWidth, ButtonHeight);
    Quit->setVisible(false);
    ProgressBar2 = MakeProgressBar(client, 8);
    ProgressBar3 = MakeProgressBar(client, 8);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ReadId);
    buttons->addStretch();
    buttons->addWidget(Start);
    buttons->addStretch();
    buttons->addWidget(Quit);
    auto* form = new QVBoxLayout(client);
    form->setContentsMargins(SideMargin, TopMargin, SideMargin, BottomMargin);
    form->setSpacing(BarGap);
    form->addWidget(MemoStatus, 1);
    OperationLabel = MakeBarLabel(client, constante::BarOperation);
    ComponentLabel = MakeBarLabel(client, constante::BarComponent);
    UpdateLabel = MakeBarLabel(client, constante::BarUpdate);
    TimeLeft = MakeBarLabel(client, "");
    TimeLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TimeLeft->setMinimumWidth(TimeLeftWidth);
    auto* bars = new QGridLayout;
    bars->setHorizontalSpacing(BarGap * 2);
    bars->setVerticalSpacing(BarGap);
    bars->addWidget(OperationLabel, 0, 0);
    bars->addWidget(ProgressBar1, 0, 1);
    bars->addWidget(ComponentLabel, 1, 0);
    bars->addWidget(ProgressBar2, 1, 1);
    bars->addWidget(UpdateLabel, 2, 0);
    bars->addWidget(ProgressBar3, 2, 1);
    bars->addWidget(TimeLeft, 0, 2, 3, 1);
    bars->setColumnStretch(1, 1);
    form->addLayout(bars);
    form->addSpacing(BarGap);
    form->addLayout(buttons);

    connect(Start, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(ReadId, &QPushButton::clicked, this, [this] { ReadIdClick(); });
    connect(Quit, &QPushButton::clicked, this, [this] { QuitClick(); });

    setWindowIcon(ProgramIcon());
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
}

void TMainFich::BuildMenus()
{
    MainMenu1 = menuBar();
    File1 = MainMenu1->addMenu(Text(constante::MenuFile));
    OpenUpdate = File1->addAction(Text(constante::MenuOpenUpdate));
    connect(OpenUpdate, &QAction::triggered, this, [this] { OpenUpdateClick(); });
    SeveralCards = File1->addAction(Text(constante::MenuSeveralCards));
    connect(SeveralCards, &QAction::triggered, this, [this] { SeveralCardsClick(); });
    LastRun = File1->addAction(Text(constante::MenuLastRun));
    connect(LastRun, &QAction::triggered, this, [this] { LastRunClick(); });
    File1->addSeparator();
    // Always there, also when the Quit button is not: closing asks first during a run.
    FileQuit = File1->addAction(Text(constante::MenuQuit));
    FileQuit->setShortcut(QKeySequence::Quit);
    connect(FileQuit, &QAction::triggered, this, [this] { close(); });

    Port1 = MainMenu1->addMenu(Text(constante::MenuPort));
    // A device plugged in or out since the last look shows at once.
    connect(Port1, &QMenu::aboutToShow, this, [this] { ShowPortDevices(); });
    PortGroup = new QActionGroup(this);
    std::vector<QAction*> comItems;
    for (int port = 1; port <= TSettingsFile::ComPortCount; ++port) {
        QAction* item = Port1->addAction(Latin1(FormatText(constante::MenuComFormat, std::to_string(port))));
        item->setCheckable(true);
        PortGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, port] { ComClick(port); });
        comItems.push_back(item);
    }
    Com11 = comItems[0];
    Com21 = comItems[1];
    Com31 = comItems[2];
    Com41 = comItems[3];
    Com51 = comItems[4];
    Com61 = comItems[5];
    Com71 = comItems[6];
    Com81 = comItems[7];
    Com91 = comItems[8];
    SerialDevice1 = Port1->addAction(Text(constante::MenuSerialDevice));
    connect(SerialDevice1, &QAction::triggered, this, [this] { SerialDeviceClick(); });
    N1 = Port1->addSeparator();
    LAN1 = Port1->addAction(Text(constante::MenuLan));
    LAN1->setCheckable(true);
    PortGroup->addAction(LAN1);
    for (QAction* item : PortItems())
        connect(item, &QAction::toggled, this, [this, item](bool checked) {
            if (!checked)
                PortItemUnchecked = item;
        });
    // The menu checks LAN/Setup as soon as it is clicked; the selection only
    // changes once the dialog is applied, so the click is taken back first.
    connect(LAN1, &QAction::triggered, this, [this] {
        if (PortItemUnchecked)
            PortItemUnchecked->setChecked(true);
        PortItemUnchecked = nullptr;
        LAN1Click();
    });

    Program1 = MainMenu1->addMenu(Text(constante::MenuMode));
    ModeGroup = new QActionGroup(this);
    MAuto = Program1->addAction(Text(constante::MenuAuto));
    MManual = Program1->addAction(Text(constante::MenuManual));
    for (QAction* item : {MAuto, MManual}) {
        item->setCheckable(true);
        ModeGroup->addAction(item);
    }
    MAuto->setChecked(true);
    Program1->addSeparator();
    MCheckUpdate = Program1->addAction(Text(constante::MenuCheckUpdate));
    MCheckUpdate->setCheckable(true);
    MCheckUpdate->setChecked(true);
    connect(MAuto, &QAction::triggered, this, [this] { MAutoClick(); });
    connect(MManual, &QAction::triggered, this, [this] { MManualClick(); });

    About1 = MainMenu1->addMenu(Text(constante::MenuAbout));
    AboutUpdater = About1->addAction(Text(constante::MenuAboutUpdater));
    connect(AboutUpdater, &QAction::triggered, this, [this] { AboutUpdaterClick(); });
}

void TMainFich::FormCreate()
{
    CheckPortItem(Com11);
    MemoStatus->clear();
    AboutUpdater->setText(Latin1(FormatText(constante::AboutCaptionFormat, constante::ProgramTitle)));
    CompSel = new TCompSelDlg(this);
    SerialDeviceDlg = new TSerialDeviceDialog(this);
    ShowReadIdButtons();
    ShowPortDevices();
    WireSession();
    MAuto->setChecked(true);
}

void TMainFich::ShowReadIdButtons()
{
    const bool readIdScript =
        QFileInfo(QString::fromStdString(Session->GetAppDir() + '/' + constante::ReadIdScriptName)).isFile();
    ReadId->setVisible(readIdScript);
    Quit->setVisible(readIdScript);
}

void TMainFich::WireSession()
{
    TUpdateSession& session = *Session;
    session.OnStatusLine = [this](const std::string& line) { AddStatusLine(line); };
    session.OnProgress = [this](TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value) { ShowBar(bar, value); };
    session.OnDeviceID = [this](std::int32_t) {
        FormPaint();
        update();
    };
    session.OnBox = [this](TBoxKind kind, const std::string& text) { ShowBox(kind, DecodedText(text)); };
    session.OnIdle = [this] { ShowIdle(); };
    session.OnRunStart = [this] { ShowRunStart(); };
    session.OnRunEnding = [this] { RestoreButtons(); };
    session.OnRunEnd = [this](TUpdateSession::TRunResult result, const std::string&, const std::string&) {
        if (result == TUpdateSession::TRunResult::Completed)
            EnableMenus(true);
    };
}

void TMainFich::UseDialogs(TAboutBox& aboutBox, TIPConfigDlg& ipConfigDlg)
{
    AboutBox = &aboutBox;
    IPConfigDlg = &ipConfigDlg;
    IPConfigDlg->ShowBox = [this](TBoxKind kind, const QString& text) { return ShowBox(kind, text); };
}

std::vector<QAction*> TMainFich::PortItems() const
{
    return {Com11, Com21, Com31, Com41, Com51, Com61, Com71, Com81, Com91, LAN1};
}

void TMainFich::CheckPortItem(QAction* item)
{
    item->setChecked(true);
    PortItemUnchecked = nullptr;
}

// ---- Window events ----------------------------------------------------------------------

void TMainFich::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    PlaceShown = true;
    FormActivate();
}

void TMainFich::FormActivate()
{
    // Activation comes back after every dialog; only the first one loads the
    // settings, so what the operator chose since is not overwritten.
    if (SettingsLoaded)
        return;
    SettingsLoaded = true;
    LoadSettings();
    RestoreWindowPlace(Settings.List().Value(constante::KeyWindow));
}

void TMainFich::paintEvent(QPaintEvent* event)
{
    FormPaint();
    QMainWindow::paintEvent(event);
}

void TMainFich::FormPaint()
{
    const QString caption = Latin1(std::string(constante::ProgramTitle) + ' ' + DeviceIdText());
    if (windowTitle() != caption)
        setWindowTitle(caption);
}

bool TMainFich::RunInProgress() const
{
    switch (Session->GetSeqState()) {
    case TSeqState::Idle:
    case TSeqState::Failed:
    case TSeqState::ErrorBox:
    case TSeqState::Completed:
        return false;
    default:
        return true;
    }
}

// A run that goes on behind a closing window would go on driving the card with
// nobody to see it: the operator confirms, and the run stops before the
// settings are saved.
void TMainFich::closeEvent(QCloseEvent* event)
{
    if (!Closed && RunInProgress() && !ShowBox(TBoxKind::Question, Text(constante::CloseStopsRun))) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TMainFich::FormClose()
{
    if (Closed)
        return;
    Closed = true;
    Session->Stop();
    Session->Close();
    SaveSettings();
}

void TMainFich::MAutoClick() { MAuto->setChecked(true); }

void TMainFich::MManualClick()
{
    MManual->setChecked(true);
    ShowDialog(*CompSel);
}

void TMainFich::AboutUpdaterClick()
{
    if (AboutBox)
        ShowDialog(*AboutBox);
}

// ---- Buttons ------------------------------------------------------------------------------

void TMainFich::StartClick()
{
    switch (Session->GetSeqState()) {
    case TSeqState::Idle:
        FeedSession();
        Quit->setEnabled(false);
        Session->Start();
        break;
    case TSeqState::Completed:
        close();
        break;
    default:
        Session->Stop();
        Quit->setEnabled(true);
        break;
    }
}

void TMainFich::ReadIdClick()
{
    if (!Session->IsIdle())
        return;
    FeedSession();
    Session->ReadId();
}

void TMainFich::QuitClick() { close(); }

void TMainFich::LastRunClick()
{
    QFile log(QString::fromLocal8Bit(Report->LastLogPath()));
    if (Report->LastLogPath().empty() || !log.open(QIODevice::ReadOnly)) {
        ShowBox(TBoxKind::Information, Text(constante::LastRunNone));
        return;
    }
    if (LastRunDlg == nullptr)
        LastRunDlg = new TTextDialog(true, this);
    LastRunDlg->SetText(Text(constante::LastRunCaption), DecodedText(log.readAll().toStdString()));
    LastRunDlg->show();
    LastRunDlg->raise();
}

void TMainFich::FeedSession()
{
    Session->SetLink(Settings.LinkFor(ChosenPort()));
    Session->SetManual(MManual->isChecked());
    Session->SetCheckUpdate(MCheckUpdate->isChecked());
    Session->SetSelection({CompSel->CBMB->isChecked(), CompSel->CBMBMCU->isChecked(), CompSel->CBMBPROM1->isChecked()});
}

// ---- What the session's events look like ------------------------------------------------

void TMainFich::AddStatusLine(const std::string& line) { MemoStatus->appendPlainText(DecodedText(line)); }

// A bar with nothing to count stays empty: a range of 0 to 0 would turn it into
// a busy indicator that never stops moving.
void TMainFich::ShowBar(TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value)
{
    QProgressBar* shown = bar == TUpdateSession::TRunBar::Operation   ? ProgressBar1
                          : bar == TUpdateSession::TRunBar::Component ? ProgressBar2
                                                                      : ProgressBar3;
    shown->setRange(0, std::max(value.Maximum, 1));
    shown->setValue(value.Maximum > 0 ? value.Value : 0);
    ShowTimeLeft();
}

void TMainFich::ShowTimeLeft()
{
    const std::int64_t seconds = Session->SecondsLeft();
    TimeLeft->setText(seconds < 0 ? QString() : Latin1(FormatText(constante::ProgressTimeLeft, TimeText(seconds))));
}

void TMainFich::ShowIdle()
{
    TimeLeft->clear();
    EnableMenus(true);
    Start->setText(Text(constante::CaptionStart));
    Quit->setEnabled(true);
    if (ReadId->isVisibleTo(this))
        ReadId->setEnabled(true);
}

void TMainFich::ShowRunStart()
{
    EnableMenus(false);
    Start->setText(Text(constante::CaptionStop));
    if (ReadId->isVisibleTo(this))
        ReadId->setEnabled(false);
}

void TMainFich::RestoreButtons()
{
    Quit->setEnabled(true);
    if (ReadId->isVisibleTo(this)) {
        ReadId->setEnabled(true);
        Start->setText(Text(constante::CaptionStart));
    } else {
        Start->setText(Text(constante::CaptionQuit));
    }
}

void TMainFich::EnableMenus(bool enabled)
{
    File1->menuAction()->setEnabled(enabled);
    Port1->menuAction()->setEnabled(enabled);
    Program1->menuAction()->setEnabled(enabled);
}
