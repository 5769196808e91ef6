// TMainFich: the updater's main window.
//
// The window shows one update session (TUpdateSession, which owns the link
// driver, the engines and the sequencer) and feeds it what the operator chose:
// the Port menu and the LAN Setup dialog give the link, the Mode menu and the
// window's own Component Selection dialog Auto or Manual mode. The session's
// events become the status list, the three bars, the caption, the buttons and
// the message boxes. The implementation is split by concern: main.cpp (window,
// session events, buttons) and Settings.cpp ("Updater.prm" and the Port menu).
#pragma once

#include "Bundle.h"
#include "MessageBoxHook.h"
#include "SerialDeviceList.h"
#include "SettingsFile.h"
#include "TextDialog.h"
#include "RunReport.h"
#include "UpdateSession.h"
#include "Utils.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QActionGroup;
class QDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TAboutBox;
class TCardsWindow;
class TCompSelDlg;
class TIPConfigDlg;
class TSerialDeviceDialog;

class TMainFich : public QMainWindow {
public:
    // Shows a dialog modally and returns its result; replaceable so that nothing
    // blocks in tests.
    using TDialogHook = std::function<int(QDialog& dialog)>;
    // Asks for an update, starting at offered: a folder, a bundle, or the main
    // script of a folder; empty when the operator cancels.
    using TUpdateHook = std::function<std::string(const std::string& offered)>;

    // appDir: the program's folder without a trailing delimiter. scriptArgument:
    // the main script named on the command line, or empty.
    explicit TMainFich(std::string appDir = GetAppDir(), std::string scriptArgument = {}, QWidget* parent = nullptr);
    ~TMainFich() override;

    // The application-wide dialogs, created after the window.
    void UseDialogs(TAboutBox& aboutBox, TIPConfigDlg& ipConfigDlg);

    // ---- Controls, in the order of the form. Timer1 is the session's step timer.
    QPushButton* Start;
    QProgressBar* ProgressBar1;
    QTimer* Timer1;
    QPlainTextEdit* MemoStatus;
    QPushButton* ReadId;
    QPushButton* Quit;
    QMenuBar* MainMenu1;
    QMenu* Port1;
    QAction* Com11;
    QAction* Com21;
    QMenu* About1;
    QAction* AboutUpdater;
    QMenu* Program1;
    QAction* MAuto;
    QAction* MManual;
    QProgressBar* ProgressBar2;
    QAction* Com31;
    QAction* Com41;
    QAction* Com51;
    QAction* Com61;
    QAction* Com71;
    QAction* Com81;
    QAction* Com91;
    QProgressBar* ProgressBar3;
    QAction* N1;
    QAction* LAN1;
    // Mode menu: the update is checked before a run touches the card.
    QAction* MCheckUpdate;
    // Beside the bars: what each one counts, and the time the run still needs.
    QLabel* OperationLabel;
    QLabel* ComponentLabel;
    QLabel* UpdateLabel;
    QLabel* TimeLeft;
    QAction* SerialDevice1;
    QMenu* File1;
    QAction* OpenUpdate;
    QAction* SeveralCards;
    QAction* FileQuit;
    QAction* LastRun;
    // The report of the last run, as text; made at the first look.
    TTextDialog* LastRunDlg = nullptr;

    TUpdateSession& GetSession() { return *Session; }
    TRunReport& GetReport() { return *Report; }
    const std::string& GetCurentCardDir() const { return Session->GetCurentCardDir(); }
    void SetCurentCardDir(const std::string& dir) { Session->SetCurentCardDir(dir); }

    // ---- Window events and handlers.
    void FormActivate();
    void FormPaint();
    // Stops a run that is on, closes the link and saves the settings; once only.
    void FormClose();
    void StartClick();
    void ReadIdClick();
    void QuitClick();
    // Shows the last run's report (its text log): what it did, line by line.
    void LastRunClick();
    void Timer1Timer() { Session->Timer1Timer(); }
    void MAutoClick();
    void MManualClick();
    void AboutUpdaterClick();
    // Com11Click to Com91Click: port is 1 to 9.
    void ComClick(int port);
    void LAN1Click();
    // Assigns a device present to the selected COM port, for the next START.
    void SerialDeviceClick();
    // Makes the chosen update the program's folder, and offers it again next time.
    void OpenUpdateClick();
    // Bundles are checked against these public keys besides those of the key folders.
    void SetTrustedKeyFiles(std::vector<std::string> files) { TrustedKeyFiles = std::move(files); }
    // Makes the update at path the program's folder, with script as the main
    // script (empty: "script.ini"): a folder as it is, a bundle once it is
    // checked and unpacked. False, after the box that says why, when the bundle
    // is refused; the window then stays on the update it had.
    bool OpenUpdatePath(const std::string& path, const std::string& script = {}, bool remember = false);
    // The bundle the session's update comes from; nullptr for a folder.
    const TBundleSummary* GetBundle() const { return Bundle ? &Bundle->Summary() : nullptr; }
    // Opens the window of several cards over this folder in place of this
    // window, which comes back when it closes.
    void SeveralCardsClick();
    // The window of several cards while it is open.
    TCardsWindow* GetCardsWindow() const;

    // ---- Status list and caption.
    void ShowInfo(std::string_view text) { Session->ShowInfo(text); }
    void ShowError(std::string_view text) { Session->ShowError(text); }
    std::string DeviceIdText() const { return Session->DeviceIdText(); }

    // ---- Link settings.
    void LoadSettings();
    void SaveSettings();
    std::string SelectedComPort() const;

    // ---- Hooks: every modal message box goes through ShowBox, every dialog
    // through ShowDialog.
    TMessageBoxHook ShowBox;
    TDialogHook ShowDialog;
    TUpdateHook ChooseUpdate;
    // Where the Serial device dialog finds the devices present.
    TSerialDeviceList SerialDevices;

    TCompSelDlg& GetCompSel() { return *CompSel; }
    const TSettingsFile& GetSettings() const { return Settings; }
    TSerialDeviceDialog& GetSerialDeviceDialog() { return *SerialDeviceDlg; }
    // The size and position kept in "Updater.prm": "x,y,width,height".
    std::string WindowPlace() const;
    void RestoreWindowPlace(const std::string& place);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormCreate();
    void BuildControls();
    void BuildMenus();
    void WireSession();
    // A new session over the folder, whose settings the Port menu then shows;
    // the old session goes, and then the bundle it ran from.
    void OpenSession(const std::string& appDir, const std::string& script = {},
                     std::unique_ptr<TOpenedBundle> bundle = nullptr);
    void ShowReadIdButtons();
    // Each COM port item shows the device it opens.
    void ShowPortDevices();
    std::vector<QAction*> PortItems() const;
    void CheckPortItem(QAction* item);
    // A run is on: closing the window would stop it.
    bool RunInProgress() const;
    // Hands the link, the mode and the component selection to the session.
    void FeedSession();
    TPortChoice ChosenPort() const;

    // ---- What the session's events look like on screen.
    void AddStatusLine(const std::string& line);
    void ShowBar(TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value);
    void ShowTimeLeft();
    void ShowIdle();
    void ShowRunStart();
    void RestoreButtons();
    void EnableMenus(bool enabled);

    // The unpacked bundle the session runs, removed when another update is opened.
    std::unique_ptr<TOpenedBundle> Bundle;
    std::vector<std::string> TrustedKeyFiles;
    std::unique_ptr<TUpdateSession> Session;
    // Leaves the report of every run in the folder "Updater.prm" names.
    std::unique_ptr<TRunReport> Report;
    TCompSelDlg* CompSel = nullptr;  // a child of the window
    TSerialDeviceDialog* SerialDeviceDlg = nullptr;  // a child of the window
    TSettingsFile Settings;

    TAboutBox* AboutBox = nullptr;
    QPointer<TCardsWindow> CardsWindow;
    TIPConfigDlg* IPConfigDlg = nullptr;
    QActionGroup* PortGroup = nullptr;
    QActionGroup* ModeGroup = nullptr;
    // The port item that checking another one unchecked last; how a LAN/Setup
    // click that ends in Cancel finds the selection to give back.
    QAction* PortItemUnchecked = nullptr;
    bool SettingsLoaded = false;
    bool PlaceShown = false;
    bool Closed = false;
};
