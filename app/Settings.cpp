// The link settings of TMainFich: "Updater.prm" and the Port menu.
#include "main.h"

#include "constante.h"
#include "ipconfig.h"
#include "textutil.h"

#include <QAction>

namespace {

struct ConTypeName {
    tConnectionType Type;
    const char* Name;
};
constexpr ConTypeName ConTypeNames[] = {
    {CON_NONE, constante::ConTypeNone},
    {CON_RS232, constante::ConTypeRs232},
    {CON_UDP, constante::ConTypeUdp},
    {CON_TCP, constante::ConTypeTcp},
};

// Exact comparison, letter case included; anything unknown is no connection.
tConnectionType ConTypeFromName(const std::string& name)
{
    for (const ConTypeName& entry : ConTypeNames)
        if (name == entry.Name)
            return entry.Type;
    return CON_NONE;
}

std::string NameOfConType(tConnectionType type)
{
    for (const ConTypeName& entry : ConTypeNames)
        if (type == entry.Type)
            return entry.Name;
    return constante::ConTypeNone;
}

std::string OrDefault(std::string value, const char* defaultValue) { return value.empty() ? defaultValue : value; }

}  // namespace

void TMainFich::LoadSettings()
{
    if (!IPConfigDlg)
        return;
    if (!Settings.Load(AppFolder() + constante::SettingsFile)) {
        CheckPortItem(Com11);
        IPConfigDlg->SetLanMode(CON_TCP);
        IPConfigDlg->SetRemoteAddress(constante::DefaultRemoteIp);
        IPConfigDlg->SetRemotePort(std::stoi(constante::DefaultRemotePort));
        IPConfigDlg->SetLocalPort(std::stoi(constante::DefaultLocalPort));
        return;
    }
    const tConnectionType type = ConTypeFromName(OrDefault(Settings.Value(constante::KeyConType), constante::ConTypeNone));
    if (type == CON_UDP || type == CON_TCP) {
        CheckPortItem(LAN1);
        IPConfigDlg->SetLanMode(type);
    } else {
        const std::string comPort = OrDefault(Settings.Value(constante::KeyComPort), constante::DefaultComPort);
        QAction* item = Com11;
        const std::vector<QAction*> items = PortItems();
        for (int port = 2; port <= ComPortCount; ++port)
            if (comPort == constante::ComPortPrefix + std::to_string(port))
                item = items[static_cast<std::size_t>(port - 1)];
        CheckPortItem(item);
        IPConfigDlg->SetLanMode(CON_TCP);
    }
    IPConfigDlg->SetRemoteAddress(OrDefault(Settings.Value(constante::KeyRemoteIp), constante::DefaultRemoteIp));
    IPConfigDlg->SetRemotePort(PortSetting(constante::KeyRemotePort, constante::DefaultRemotePort));
    IPConfigDlg->SetLocalPort(PortSetting(constante::KeyLocalPort, constante::DefaultLocalPort));
}

// A value that is not a number is reported and replaced by the default, so the
// keys after it still load.
std::int32_t TMainFich::PortSetting(const char* key, const char* defaultValue)
{
    const std::string text = OrDefault(Settings.Value(key), defaultValue);
    std::int32_t port = 0;
    if (StrToInt32(text, port))
        return port;
    ShowBox(TBoxKind::Warning, Latin1(FormatText(constante::SettingsBadValue, std::string(key) + '=' + text)));
    return std::stoi(defaultValue);
}

void TMainFich::SaveSettings()
{
    if (!IPConfigDlg)
        return;
    const tConnectionType type = LAN1->isChecked() ? IPConfigDlg->LanMode : CON_RS232;
    Settings.SetValue(constante::KeyConType, NameOfConType(type));
    Settings.SetValue(constante::KeyComPort, type == CON_RS232 ? SelectedComPort() : constante::ComPortNotApplicable);
    Settings.SetValue(constante::KeyRemoteIp, IPConfigDlg->RemoteAddress);
    Settings.SetValue(constante::KeyRemotePort, std::to_string(IPConfigDlg->RemotePort));
    Settings.SetValue(constante::KeyLocalPort, std::to_string(IPConfigDlg->LocalPort));
    const std::string path = AppFolder() + constante::SettingsFile;
    // What could not be read at start-up may hold the operator's settings:
    // writing the defaults over it would lose them.
    if (Settings.Unreadable()) {
        ShowBox(TBoxKind::Error, Latin1(FormatText(constante::SettingsNotSaved, path + " : " + constante::SettingsKeptUnread)));
        return;
    }
    std::string error;
    if (!Settings.Save(path, error))
        ShowBox(TBoxKind::Error, Latin1(FormatText(constante::SettingsNotSaved, path + " : " + error)));
}

std::string TMainFich::SelectedComPort() const
{
    const std::vector<QAction*> items = PortItems();
    for (int port = 2; port <= ComPortCount; ++port)
        if (items[static_cast<std::size_t>(port - 1)]->isChecked())
            return constante::ComPortPrefix + std::to_string(port);
    return constante::DefaultComPort;
}

void TMainFich::ComClick(int port) { CheckPortItem(PortItems()[static_cast<std::size_t>(port - 1)]); }

void TMainFich::LAN1Click()
{
    if (!IPConfigDlg)
        return;
    ShowDialog(*IPConfigDlg);
    if (IPConfigDlg->Applied)
        CheckPortItem(LAN1);
}
