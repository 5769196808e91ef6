#include "main.h"

#include "About.h"
#include "CompDlg.h"
#include "StatusFilter.h"
#include "TextlessProgressBar.h"
#include "constante.h"
#include "hex.h"
#include "ipconfig.h"
#include "textutil.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>

namespace {

constexpr int ClientWidth = 528;
constexpr int ClientHeight = 216;
constexpr int StatusFontPixels = 13;

QString Text(const char* text) { return QString::fromLatin1(text); }

QProgressBar* MakeProgressBar(QWidget* parent, int top, int height)
{
    auto* bar = new TTextlessProgressBar(parent);
    bar->setGeometry(22, top, 484, height);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

}  // namespace

TMainFich::TMainFich(std::string appDir, std::string scriptArgument, QWidget* parent)
    : QMainWindow(parent),
      ShowBox(ModalBoxHook(this)),
      ShowDialog([](QDialog& dialog) { return dialog.exec(); }),
      AppDir(std::move(appDir)),
      ScriptArgument(std::move(scriptArgument))
{
    BuildControls();
    BuildMenus();
    FormCreate();
    FormPaint();
    Timer1->start();
}

TMainFich::~TMainFich()
{
    Timer1->stop();
    // The engines and the driver call back into the window: they go while it is whole.
    ProgJtag.reset();
    ProgPsd.reset();
    InstCrt.reset();
    ProgBoot.reset();
    Driver.reset();
}

void TMainFich::BuildControls()
{
    auto* client = new QWidget(this);
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    Start = new QPushButton(Text(constante::ButtonStart), client);
    Start->setGeometry(180, 165, 169, 41);
    ProgressBar1 = MakeProgressBar(client, 121, 9);
    Timer1 = new QTimer(this);
    MemoStatus = new QPlainTextEdit(client);
    MemoStatus->setGeometry(22, 8, 484, 105);
    MemoStatus->setReadOnly(true);
    MemoStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoLook = MemoStatus->palette();
    memoLook.setColor(QPalette::Base, palette().color(QPalette::Window));
    MemoStatus->setPalette(memoLook);
    QFont memoFont = MemoStatus->font();
    memoFont.setPixelSize(StatusFontPixels);
    MemoStatus->setFont(memoFont);
    ReadId = new QPushButton(Text(constante::ButtonReadId), client);
    ReadId->setGeometry(22, 165, 137, 41);
    ReadId->setVisible(false);
    Quit = new QPushButton(Text(constante::ButtonQuit), client);
    Quit->setGeometry(369, 165, 137, 41);
    Quit->setVisible(false);
    ProgressBar2 = MakeProgressBar(client, 135, 8);
    ProgressBar3 = MakeProgressBar(client, 147, 8);

    connect(Start, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(ReadId, &QPushButton::clicked, this, [this] { ReadIdClick(); });
    connect(Quit, &QPushButton::clicked, this, [this] { QuitClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
}

void TMainFich::BuildMenus()
{
    MainMenu1 = menuBar();
    Port1 = MainMenu1->addMenu(Text(constante::MenuPort));
    PortGroup = new QActionGroup(this);
    std::vector<QAction*> comItems;
    for (int port = 1; port <= ComPortCount; ++port) {
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
    connect(MAuto, &QAction::triggered, this, [this] { MAutoClick(); });
    connect(MManual, &QAction::triggered, this, [this] { MManualClick(); });

    About1 = MainMenu1->addMenu(Text(constante::MenuAbout));
    AboutUpdater = About1->addAction(Text(constante::MenuAboutUpdater));
    connect(AboutUpdater, &QAction::triggered, this, [this] { AboutUpdaterClick(); });
}

void TMainFich::FormCreate()
{
    CheckPortItem(Com11);

    Driver = std::make_unique<TComDriver>();
    Driver->SetTag(1);
    Driver->OnRecString = [this](TComDriver& sender, std::int32_t nro) { DriverRecString(sender, nro); };
    Driver->ShowSocketError = [this](const std::string& text) { ShowBox(TBoxKind::Error, Latin1(text)); };
    Driver->SetBaudRate(constante::RawPhaseBaud);
    Driver->SetConMode(MODE_RAW);

    ScriptLines.clear();
    ComponentLines.clear();

    SeqState = SeqIdle;
    Timer1->setInterval(IdleIntervalMs);
    MemoStatus->clear();
    CardDeviceID = 0;
    DeviceIdentified = false;
    OptionCode = constante::DefaultOptionCode;

    AboutUpdater->setText(Latin1(FormatText(constante::AboutCaptionFormat, constante::ProgramTitle)));

    CompSel = new TCompSelDlg(this);

    if (QFileInfo(QString::fromStdString(AppFolder() + constante::ReadIdScriptName)).isFile()) {
        ReadId->setVisible(true);
        Quit->setVisible(true);
    }

    ProgBoot = std::make_unique<TProgBoot>();
    WireEngine(*ProgBoot);
    InstCrt = std::make_unique<TInstCrt>();
    WireEngine(*InstCrt);
    InstCrt->OnVersionSame = [this](TGestionnaire& sender, std::int32_t component) { SkipUpToDate(sender, component); };
    InstCrt->OnCardError = [this](TGestionnaire& sender, std::int32_t card) { SkipFailedCard(sender, card); };
    InstCrt->OnCardReady = [this](TGestionnaire& sender, std::int32_t card) { CardReady(sender, card); };
    ProgPsd = std::make_unique<TProgPsd>();
    WireEngine(*ProgPsd);
    ProgJtag = std::make_unique<TProgJtag>();
    WireEngine(*ProgJtag);

    MAuto->setChecked(true);

    Settings = TSettingsList();
}

void TMainFich::UseDialogs(TAboutBox& aboutBox, TIPConfigDlg& ipConfigDlg)
{
    AboutBox = &aboutBox;
    IPConfigDlg = &ipConfigDlg;
    IPConfigDlg->ShowBox = [this](TBoxKind kind, const QString& text) { ShowBox(kind, text); };
}

std::string TMainFich::AppFolder() const { return AppDir + '/'; }

void TMainFich::SetCurentCardDir(const std::string& dir)
{
    CurentCardDir = dir;
    for (TGestionnaire* engine : Engines())
        engine->SetCurentDir(dir);
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

void TMainFich::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TMainFich::FormClose()
{
    if (Closed)
        return;
    Closed = true;
    Timer1->stop();
    SaveSettings();
    Driver->SetConType(CON_NONE);
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

// ---- Status list and caption ------------------------------------------------------------

void TMainFich::ShowInfo(std::string_view text)
{
    if (!IsRoutineStepName(text))
        AddStatusLine(text);
}

void TMainFich::ShowError(std::string_view text)
{
    LastError = text;
    SeqState = SeqFailed;
    AddStatusLine(text);
}

void TMainFich::AddStatusLine(std::string_view text)
{
    if (Bytes(MemoStatus->document()->lastBlock().text()) == text)
        return;
    MemoStatus->appendPlainText(Latin1(std::string(text)));
    if (OnStatusLine)
        OnStatusLine(std::string(text));
}

std::string TMainFich::DeviceIdText() const
{
    if (CardDeviceID == 0)
        return constante::DeviceIdUnknown;
    return FormatText(constante::DeviceIdFormat, WordToHex(static_cast<std::uint32_t>(CardDeviceID) & 0xFFFF));
}
