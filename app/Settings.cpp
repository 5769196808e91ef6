// The link settings of TMainFich: "Updater.prm" shown in the Port menu and the
// LAN Setup dialog, and the choice they hold handed back to the file; the
// window's place, the serial devices, the update folder, and the window of
// several cards over the same folder and settings.
#include "main.h"

#include "BundleOpening.h"
#include "CardsWindow.h"
#include "CompDlg.h"
#include "SerialDevice.h"
#include "SerialDeviceDialog.h"
#include "DecodedText.h"
#include "constante.h"
#include "ipconfig.h"
#include "textutil.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <array>

void TMainFich::LoadSettings()
{
    if (!IPConfigDlg)
        return;
    const TPortChoice choice = Settings.Load(TSettingsFile::LoadPathFor(Session->GetAppDir()),
                                             [this](const std::string& text) { ShowBox(TBoxKind::Warning, DecodedText(text)); });
    Report->SetFolder(Settings.ReportFolder(Session->GetAppDir()));
    CheckPortItem(choice.Lan ? LAN1 : PortItems()[static_cast<std::size_t>(choice.ComPort - 1)]);
    IPConfigDlg->SetLanMode(choice.LanMode);
    IPConfigDlg->SetRemoteAddress(choice.RemoteAddress);
    IPConfigDlg->SetRemotePort(choice.RemotePort);
    IPConfigDlg->SetLocalPort(choice.LocalPort);
    MCheckUpdate->setChecked(choice.CheckUpdate);
    ShowPortDevices();
}

void TMainFich::SaveSettings()
{
    if (!IPConfigDlg)
        return;
    // A window never shown has no place to keep.
    if (PlaceShown)
        Settings.SetWindowPlace(WindowPlace());
    std::string message;
    if (!Settings.Save(TSettingsFile::PathFor(Session->GetAppDir()), ChosenPort(), message))
        ShowBox(TBoxKind::Error, DecodedText(message));
}

TPortChoice TMainFich::ChosenPort() const
{
    TPortChoice choice;
    choice.Lan = LAN1->isChecked() && IPConfigDlg;
    choice.CheckUpdate = MCheckUpdate->isChecked();
    const std::vector<QAction*> items = PortItems();
    for (int port = 2; port <= TSettingsFile::ComPortCount; ++port)
        if (items[static_cast<std::size_t>(port - 1)]->isChecked())
            choice.ComPort = port;
    if (IPConfigDlg) {
        choice.LanMode = IPConfigDlg->LanMode;
        choice.RemoteAddress = IPConfigDlg->RemoteAddress;
        choice.RemotePort = IPConfigDlg->RemotePort;
        choice.LocalPort = IPConfigDlg->LocalPort;
    }
    return choice;
}

std::string TMainFich::SelectedComPort() const { return TSettingsFile::ComPortName(ChosenPort().ComPort); }

void TMainFich::ComClick(int port) { CheckPortItem(PortItems()[static_cast<std::size_t>(port - 1)]); }

// Only an Apply in this showing of the dialog selects the LAN. Cancel, Escape
// and the close box leave the selection, and the mode the dialog had when it
// opened, as they were.
void TMainFich::LAN1Click()
{
    if (!IPConfigDlg)
        return;
    const tConnectionType modeBefore = IPConfigDlg->LanMode;
    IPConfigDlg->Applied = false;
    ShowDialog(*IPConfigDlg);
    if (IPConfigDlg->Applied)
        CheckPortItem(LAN1);
    else
        IPConfigDlg->SetLanMode(modeBefore);
}

void TMainFich::ShowPortDevices()
{
    const std::vector<QAction*> items = PortItems();
    const std::vector<TSerialDeviceInfo> present = SerialDevices.Read();
    for (int port = 1; port <= TSettingsFile::ComPortCount; ++port) {
        const std::string device = SerialDeviceFor(TSettingsFile::ComPortName(port), Settings.List());
        std::string shown = device;
        // An "&" in a device name is shown, not taken for the item's mnemonic.
        for (std::size_t at = shown.find('&'); at != std::string::npos; at = shown.find('&', at + 2))
            shown.insert(at, 1, '&');
        items[static_cast<std::size_t>(port - 1)]->setText(
            DecodedText(FormatText(constante::MenuComFormat, std::to_string(port)) + FormatText(constante::OpenedDeviceFormat, shown) +
                        (TSerialDeviceList::IsPresent(device, present) ? "" : constante::MenuDeviceAbsent)));
    }
}

// The list is read again at each showing: an adapter may have been plugged in since.
void TMainFich::SerialDeviceClick()
{
    const std::string port = SelectedComPort();
    SerialDeviceDlg->Fill(port, SerialDevices.Read(), SerialDeviceFor(port, Settings.List()));
    if (ShowDialog(*SerialDeviceDlg) != QDialog::Accepted)
        return;
    const std::string device = SerialDeviceDlg->ChosenDevice();
    if (device.empty())
        return;
    Settings.List().SetValue(port, device);
    ShowPortDevices();
}

std::string TMainFich::WindowPlace() const
{
    const QRect place = normalGeometry().isValid() ? normalGeometry() : geometry();
    return std::to_string(place.x()) + ',' + std::to_string(place.y()) + ',' + std::to_string(place.width()) + ',' +
           std::to_string(place.height());
}

// A place that cannot be read is left alone; one no screen shows any more
// (a monitor unplugged since) keeps only its size.
void TMainFich::RestoreWindowPlace(const std::string& place)
{
    std::array<std::int32_t, 4> numbers{};
    std::size_t start = 0;
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        const std::size_t comma = place.find(',', start);
        if ((comma == std::string::npos) != (index + 1 == numbers.size()))
            return;
        if (!StrToInt32(std::string_view(place).substr(start, comma - start), numbers[index]))
            return;
        start = comma + 1;
    }
    if (numbers[2] <= 0 || numbers[3] <= 0)
        return;
    const QSize size = QSize(numbers[2], numbers[3]).expandedTo(minimumSizeHint());
    const QRect wanted(QPoint(numbers[0], numbers[1]), size);
    if (QGuiApplication::screenAt(wanted.center()) != nullptr)
        setGeometry(wanted);
    else
        resize(size);
}

void TMainFich::OpenUpdateClick()
{
    if (RunInProgress())
        return;
    const std::string last = TSettingsFile::LastUpdateFolder();
    const QString chosen = QString::fromStdString(ChooseUpdate(last.empty() ? Session->GetAppDir() : last));
    if (chosen.isEmpty())
        return;
    // A folder is chosen by its main script.
    const QFileInfo file(chosen);
    std::string update = QDir::cleanPath(file.isFile() && file.suffix() == QLatin1String(constante::ScriptSuffix)
                                             ? file.absolutePath()
                                             : file.absoluteFilePath())
                             .toStdString();
    // The program's folder is kept without its delimiter; the root folder becomes empty.
    if (!update.empty() && update.back() == '/')
        update.pop_back();
    OpenUpdatePath(update, {}, true);
}

bool TMainFich::OpenUpdatePath(const std::string& path, const std::string& script, bool remember)
{
    std::unique_ptr<TOpenedBundle> bundle;
    std::string folder = path;
    std::string mainScript = script;
    if (IsUpdateBundle(path)) {
        std::string refusal;
        bundle = OpenUpdateBundle(path, script, TrustedKeyFiles, mainScript, refusal);
        if (!bundle) {
            ShowBox(TBoxKind::Error, DecodedText(refusal));
            return false;
        }
        folder = bundle->Folder();
    }
    if (remember) {
        // The folder's own settings are saved before the per-user file learns the
        // new update: both may be that same file.
        SaveSettings();
        std::string message;
        if (!TSettingsFile::RememberUpdateFolder(path, message))
            ShowBox(TBoxKind::Error, DecodedText(message));
    }
    OpenSession(folder, mainScript, std::move(bundle));
    return true;
}

void TMainFich::OpenSession(const std::string& appDir, const std::string& script, std::unique_ptr<TOpenedBundle> bundle)
{
    Session->Stop();
    Session->Close();
    // The report observes the session: it goes first, and comes back with the new one.
    Report.reset();
    Session = std::make_unique<TUpdateSession>(appDir, script);
    Bundle = std::move(bundle);
    Report = std::make_unique<TRunReport>(*Session, TSettingsFile::DefaultReportFolder(appDir));
    if (Bundle) {
        Session->SetConfinedToFolder(true);
        Report->SetBundle(ReportBundle(Bundle->Summary()));
    }
    Timer1 = &Session->GetTimer();
    WireSession();
    ShowReadIdButtons();
    LoadSettings();
    Session->ShowInfo(FormatText(constante::UpdateOpenedFormat, Bundle ? Bundle->Summary().FileName : appDir));
    if (Bundle)
        Session->ShowInfo(OriginLine(Bundle->Summary()));
}

TCardsWindow* TMainFich::GetCardsWindow() const { return CardsWindow.data(); }

// The two windows share this folder's settings: the other window's set of
// cards is kept in them, and whatever this window saves at its close keeps it.
void TMainFich::SeveralCardsClick()
{
    if (RunInProgress() || CardsWindow)
        return;
    TCardsSetup setup;
    setup.AppDir = Session->GetAppDir();
    setup.Script = Session->GetScriptArgument();
    setup.Choice = ChosenPort();
    setup.Manual = MManual->isChecked();
    setup.Selection = {CompSel->CBMB->isChecked(), CompSel->CBMBMCU->isChecked(), CompSel->CBMBPROM1->isChecked()};
    if (Bundle)
        setup.Bundle = ReportBundle(Bundle->Summary());
    CardsWindow = new TCardsWindow(setup, Settings, this);
    CardsWindow->setAttribute(Qt::WA_DeleteOnClose);
    CardsWindow->SerialDevices = SerialDevices;
    CardsWindow->OnClosed = [this] { show(); };
    CardsWindow->LoadCards();
    hide();
    CardsWindow->show();
}
