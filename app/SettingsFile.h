// "Updater.prm": the link the operator chose, kept between runs of the program.
//
// No widget is involved: the window shows what Load found in its Port menu and
// LAN Setup dialog, batch mode opens it directly. The file's other lines are
// kept as they were (TSettingsList).
#pragma once

#include "ComDriver.h"
#include "LinkSettings.h"
#include "SettingsList.h"

#include <cstdint>
#include <functional>
#include <string>

// The Port menu's choice and the LAN Setup dialog's values.
struct TPortChoice {
    bool Lan = false;
    // The serial port when not Lan: 1 to 9 for COM1 to COM9.
    int ComPort = 1;
    tConnectionType LanMode = CON_TCP;
    std::string RemoteAddress;
    std::int32_t RemotePort = 0;
    std::int32_t LocalPort = 0;
    // The Mode menu's "Check update at START".
    bool CheckUpdate = true;
};

class TSettingsFile {
public:
    static constexpr int ComPortCount = 9;
    using TWarning = std::function<void(const std::string& text)>;

    // Reads the file at path. A file that is missing or cannot be read gives the
    // defaults; a port value that is not a number is reported through warn and
    // replaced by its default, so the keys after it still load.
    TPortChoice Load(const std::string& path, const TWarning& warn);
    // Puts the choice into the file's lines and writes them. False, with the text
    // to show, when the file was not written; a file that could not be read when
    // it was loaded is never written over, since it may hold the operator's settings.
    bool Save(const std::string& path, const TPortChoice& choice, std::string& message);
    // Writes the file's lines as they stand, under the same rules as Save.
    bool SaveList(const std::string& path, std::string& message);

    // The link a run opens for the choice; a serial port opens the device that
    // its key of the file names, else the standard one.
    TLinkSettings LinkFor(const TPortChoice& choice) const;
    const TSettingsList& List() const { return Settings; }
    // The folder of the run reports: the REPORT_DIR key, a relative value
    // within appDir; without the key, DefaultReportFolder.
    std::string ReportFolder(const std::string& appDir) const;
    // Where reports go when nothing names a folder: "reports" in the program's
    // folder, or per user beside the per-user settings where the program may
    // not write in its folder.
    static std::string DefaultReportFolder(const std::string& appDir);

    // "COM1" to "COM9".
    static std::string ComPortName(int port);

    // Where the file is kept for a program folder: in the folder, as always,
    // when the program may write there; otherwise per user (UserPath), for an
    // updater installed where its user may not write, and for the folder of an
    // installed updater (IsInstalledProgramFolder) even where it may.
    static std::string PathFor(const std::string& appDir);
    // The executable's own folder holding no main script: an installed updater's,
    // beside which nothing is ever written.
    static bool IsInstalledProgramFolder(const std::string& appDir);
    // The file to load: PathFor, or the program folder's own file while the
    // per-user one has not been written yet (the settings an installer laid down).
    static std::string LoadPathFor(const std::string& appDir);
    // $XDG_CONFIG_HOME (or ~/.config), "corvane-pelto-updater/Updater.prm".
    static std::string UserPath();
    // The update the window opened last (a folder or a bundle), kept in the per-user file; empty when none.
    static std::string LastUpdateFolder();
    // False, with the text to show, when it could not be kept.
    static bool RememberUpdateFolder(const std::string& folder, std::string& message);
    // The update a window opens when none was named: the executable's folder when
    // it holds the main script, else the update opened last, if it is still there.
    static std::string WindowFolder(const std::string& executableDir);

    // Lines of the file the Port choice does not hold (a COMn device); written
    // back by the next Save.
    TSettingsList& List() { return Settings; }
    // The window's place, written after the five link keys by the next Save;
    // empty leaves the file's own line, if any, as it is.
    void SetWindowPlace(const std::string& place) { WindowPlace = place; }

private:
    std::int32_t PortSetting(const char* key, const char* defaultValue, const TWarning& warn) const;

    TSettingsList Settings;
    std::string WindowPlace;
};
