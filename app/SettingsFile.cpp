#include "SettingsFile.h"

#include "SerialDevice.h"
#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

std::string TSettingsFile::ComPortName(int port) { return constante::ComPortPrefix + std::to_string(port); }

TPortChoice TSettingsFile::Load(const std::string& path, const TWarning& warn)
{
    TPortChoice choice;
    choice.RemoteAddress = constante::DefaultRemoteIp;
    choice.RemotePort = std::stoi(constante::DefaultRemotePort);
    choice.LocalPort = std::stoi(constante::DefaultLocalPort);
    if (!Settings.Load(path))
        return choice;
    const tConnectionType type = ConTypeFromName(OrDefault(Settings.Value(constante::KeyConType), constante::ConTypeNone));
    if (type == CON_UDP || type == CON_TCP) {
        choice.Lan = true;
        choice.LanMode = type;
    } else {
        const std::string comPort = OrDefault(Settings.Value(constante::KeyComPort), constante::DefaultComPort);
        for (int port = 2; port <= ComPortCount; ++port)
            if (comPort == ComPortName(port))
                choice.ComPort = port;
    }
    choice.RemoteAddress = OrDefault(Settings.Value(constante::KeyRemoteIp), constante::DefaultRemoteIp);
    choice.RemotePort = PortSetting(constante::KeyRemotePort, constante::DefaultRemotePort, warn);
    choice.LocalPort = PortSetting(constante::KeyLocalPort, constante::DefaultLocalPort, warn);
    choice.CheckUpdate = Settings.Value(constante::KeyCheckUpdate) != constante::CheckUpdateOff;
    return choice;
}

std::int32_t TSettingsFile::PortSetting(const char* key, const char* defaultValue, const TWarning& warn) const
{
    const std::string text = OrDefault(Settings.Value(key), defaultValue);
    std::int32_t port = 0;
    if (StrToInt32(text, port))
        return port;
    if (warn)
        warn(FormatText(constante::SettingsBadValue, std::string(key) + '=' + text));
    return std::stoi(defaultValue);
}

bool TSettingsFile::Save(const std::string& path, const TPortChoice& choice, std::string& message)
{
    const tConnectionType type = choice.Lan ? choice.LanMode : CON_RS232;
    Settings.SetValue(constante::KeyConType, NameOfConType(type));
    Settings.SetValue(constante::KeyComPort, type == CON_RS232 ? ComPortName(choice.ComPort) : constante::ComPortNotApplicable);
    Settings.SetValue(constante::KeyRemoteIp, choice.RemoteAddress);
    Settings.SetValue(constante::KeyRemotePort, std::to_string(choice.RemotePort));
    Settings.SetValue(constante::KeyLocalPort, std::to_string(choice.LocalPort));
    if (!choice.CheckUpdate || !Settings.Value(constante::KeyCheckUpdate).empty())
        Settings.SetValue(constante::KeyCheckUpdate, choice.CheckUpdate ? constante::CheckUpdateOn : constante::CheckUpdateOff);
    if (!WindowPlace.empty())
        Settings.SetValue(constante::KeyWindow, WindowPlace);
    return SaveList(path, message);
}

bool TSettingsFile::SaveList(const std::string& path, std::string& message)
{
    if (Settings.Unreadable()) {
        message = FormatText(constante::SettingsNotSaved, path + " : " + constante::SettingsKeptUnread);
        return false;
    }
    std::string error;
    // The per-user folder may not be there yet; a program folder is never made.
    if (path == UserPath())
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    if (Settings.Save(path, error))
        return true;
    message = FormatText(constante::SettingsNotSaved, path + " : " + error);
    return false;
}

std::string TSettingsFile::ReportFolder(const std::string& appDir) const
{
    const std::string folder = Settings.Value(constante::KeyReportDir);
    if (folder.empty())
        return DefaultReportFolder(appDir);
    return folder.front() == '/' ? folder : appDir + '/' + folder;
}

std::string TSettingsFile::PathFor(const std::string& appDir)
{
    const std::string folder = appDir.empty() ? "/" : appDir;
    // Only a folder that is there and refuses writing sends the file elsewhere;
    // a missing folder fails as it always did. A folder its owner may not write
    // (an unpacked update bundle is left so) is read-only also to root, whom
    // access() lets write anywhere.
    struct stat status {};
    if ((::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS)) ||
        (::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && (status.st_mode & S_IWUSR) == 0) ||
        IsInstalledProgramFolder(appDir))
        return UserPath();
    return appDir + '/' + constante::SettingsFile;
}

// An installed updater lives among other programs (/usr/bin): writing there
// would leave files its package does not own, even when root may write.
bool TSettingsFile::IsInstalledProgramFolder(const std::string& appDir)
{
    const QFileInfo folder(QString::fromStdString(appDir.empty() ? "/" : appDir));
    return folder.canonicalFilePath() == QFileInfo(QString::fromStdString(GetAppDir())).canonicalFilePath() &&
           !QFileInfo(folder.filePath() + '/' + QString::fromLatin1(constante::MainScriptName)).isFile();
}

std::string TSettingsFile::LoadPathFor(const std::string& appDir)
{
    const std::string path = PathFor(appDir);
    const std::string folderFile = appDir + '/' + constante::SettingsFile;
    if (path != folderFile && !QFileInfo::exists(QString::fromStdString(path)) &&
        QFileInfo::exists(QString::fromStdString(folderFile)))
        return folderFile;
    return path;
}

std::string TSettingsFile::DefaultReportFolder(const std::string& appDir)
{
    if (PathFor(appDir) == UserPath())
        return QFileInfo(QString::fromStdString(UserPath())).absolutePath().toStdString() + '/' + constante::ReportFolder;
    return appDir + '/' + constante::ReportFolder;
}

std::string TSettingsFile::UserPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base.toStdString() + '/' + constante::UserSettingsFolder + '/' + constante::SettingsFile;
}

std::string TSettingsFile::LastUpdateFolder()
{
    TSettingsList list;
    return list.Load(UserPath()) ? list.Value(constante::KeyUpdateFolder) : std::string();
}

std::string TSettingsFile::WindowFolder(const std::string& executableDir)
{
    if (QFileInfo(QString::fromStdString(executableDir + '/' + constante::MainScriptName)).isFile())
        return executableDir;
    const std::string last = LastUpdateFolder();
    return !last.empty() && QFileInfo::exists(QString::fromStdString(last)) ? last : executableDir;
}

bool TSettingsFile::RememberUpdateFolder(const std::string& folder, std::string& message)
{
    const std::string path = UserPath();
    TSettingsList list;
    list.Load(path);
    if (list.Unreadable()) {
        message = FormatText(constante::SettingsNotSaved, path + " : " + constante::SettingsKeptUnread);
        return false;
    }
    list.SetValue(constante::KeyUpdateFolder, folder);
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    std::string error;
    if (list.Save(path, error))
        return true;
    message = FormatText(constante::SettingsNotSaved, path + " : " + error);
    return false;
}

TLinkSettings TSettingsFile::LinkFor(const TPortChoice& choice) const
{
    TLinkSettings link;
    link.ConType = choice.Lan ? choice.LanMode : CON_RS232;
    link.ComPort = ComPortName(choice.ComPort);
    link.SerialDevice = SerialDeviceFor(link.ComPort, Settings);
    link.RemoteAddress = choice.RemoteAddress;
    link.RemotePort = choice.RemotePort;
    link.LocalPort = choice.LocalPort;
    return link;
}
