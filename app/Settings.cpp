// The link settings of TMainFich: "Updater.prm" shown in the Port menu and the
// LAN Setup dialog, and the choice they hold handed back to the file.
#include "main.h"

#include "constante.h"
#include "ipconfig.h"

#include <QAction>

void TMainFich::LoadSettings()
{
    if (!IPConfigDlg)
        return;
    const TPortChoice choice = Settings.Load(Session->GetAppDir() + '/' + constante::SettingsFile,
                                             [this](const std::string& text) { ShowBox(TBoxKind::Warning, OperatorText(text)); });
    Report->SetFolder(Settings.ReportFolder(Session->GetAppDir()));
    CheckPortItem(choice.Lan ? LAN1 : PortItems()[static_cast<std::size_t>(choice.ComPort - 1)]);
    IPConfigDlg->SetLanMode(choice.LanMode);
    IPConfigDlg->SetRemoteAddress(choice.RemoteAddress);
    IPConfigDlg->SetRemotePort(choice.RemotePort);
    IPConfigDlg->SetLocalPort(choice.LocalPort);
    MCheckUpdate->setChecked(choice.CheckUpdate);
}

void TMainFich::SaveSettings()
{
    if (!IPConfigDlg)
        return;
    std::string message;
    if (!Settings.Save(Session->GetAppDir() + '/' + constante::SettingsFile, ChosenPort(), message))
        ShowBox(TBoxKind::Error, OperatorText(message));
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
