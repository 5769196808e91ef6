// TMainFich: the updater's main window and its update sequencer.
//
// The window owns everything that lives during a run: the link driver, the four
// programming engines, the script line lists, its own Component Selection
// dialog and the timer that drives the sequencer. One sequencer step runs per
// timer tick and per arrival of text from the card; a step never waits for the
// card. The implementation is split by concern: main.cpp (window, status list,
// menus), Sequencer.cpp (the state machine and the buttons), EngineEvents.cpp,
// ScriptFilters.cpp and Settings.cpp.
#pragma once

#include "ComDriver.h"
#include "InstCourante.h"
#include "MessageBoxHook.h"
#include "SettingsList.h"
#include "Utils.h"
#include "progboot.h"
#include "progjtag.h"
#include "progpsd.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QActionGroup;
class QDialog;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TAboutBox;
class TCompSelDlg;
class TIPConfigDlg;

class TMainFich : public QMainWindow {
public:
    // Shows a dialog modally and returns its result; replaceable so that nothing
    // blocks in batch mode and tests.
    using TDialogHook = std::function<int(QDialog& dialog)>;

    // appDir: the program's folder without a trailing delimiter. scriptArgument:
    // the main script named on the command line, or empty.
    explicit TMainFich(std::string appDir = GetAppDir(), std::string scriptArgument = {}, QWidget* parent = nullptr);
    ~TMainFich() override;

    // The application-wide dialogs, created after the window.
    void UseDialogs(TAboutBox& aboutBox, TIPConfigDlg& ipConfigDlg);

    // ---- Controls, in the order of the form.
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

    const std::string& GetCurentCardDir() const { return CurentCardDir; }
    // Also hands the folder to every engine as its CurentDir.
    void SetCurentCardDir(const std::string& dir);

    // ---- Window events and handlers.
    void FormActivate();
    void FormPaint();
    // Saves the settings and closes the link; once only.
    void FormClose();
    void StartClick();
    void ReadIdClick();
    void QuitClick();
    void Timer1Timer();
    void MAutoClick();
    void MManualClick();
    void AboutUpdaterClick();
    // Com11Click to Com91Click: port is 1 to 9.
    void ComClick(int port);
    void LAN1Click();

    // ---- Status list and caption.
    void ShowInfo(std::string_view text);
    void ShowError(std::string_view text);
    std::string DeviceIdText() const;

    // ---- Link settings.
    void LoadSettings();
    void SaveSettings();
    std::string SelectedComPort() const;

    // ---- Hooks. Every modal message box goes through ShowBox; every message
    // added to the status list is passed to OnStatusLine exactly as added.
    TMessageBoxHook ShowBox;
    TDialogHook ShowDialog;
    std::function<void(const std::string& line)> OnStatusLine;
    // A run ended: completed, or failed after its error box.
    std::function<void(bool completed)> OnRunEnd;
    // Text arrived from the card.
    std::function<void()> OnCardText;

    // ---- What batch mode and tests observe and control.
    std::uint8_t GetSeqState() const { return SeqState; }
    // A run is on and waits for the card (not in a "wait" pause of the script).
    bool WaitsOnCard() const;
    TComDriver& GetDriver() { return *Driver; }
    TProgBoot& GetProgBoot() { return *ProgBoot; }
    TInstCrt& GetInstCrt() { return *InstCrt; }
    TProgPsd& GetProgPsd() { return *ProgPsd; }
    TProgJtag& GetProgJtag() { return *ProgJtag; }
    TCompSelDlg& GetCompSel() { return *CompSel; }
    const std::vector<std::string>& GetScriptLines() const { return ScriptLines; }
    const TSettingsList& GetSettings() const { return Settings; }
    const std::string& GetOptionCode() const { return OptionCode; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Sequencer states.
    enum : std::uint8_t {
        SeqIdle = 0,
        SeqLoadScript = 1,
        SeqQueryCard = 2,
        SeqAwaitCardType = 3,
        SeqStartSync = 4,
        SeqAwaitSync = 5,
        SeqFailed = 6,
        SeqErrorBox = 7,
        SeqStartClosing = 8,
        SeqAwaitClosing = 9,
        SeqCompleted = 10,
        SeqNextMainLine = 12,
        SeqAwaitMainLine = 13,
        SeqNextComponentLine = 14,
        SeqAwaitComponentLine = 15,
        SeqStartBootOption = 16,
        SeqAwaitBootOption = 17,
        SeqAwaitOptionCode = 18,
    };
    static constexpr int ComPortCount = 9;
    static constexpr int IdleIntervalMs = 500;
    static constexpr int RunIntervalMs = 10;

    void FormCreate();
    void BuildControls();
    void BuildMenus();
    std::vector<QAction*> PortItems() const;
    void CheckPortItem(QAction* item);
    std::string AppFolder() const;
    // Appends the message unless it equals the last line of the list.
    void AddStatusLine(std::string_view text);

    // ---- Sequencer (Sequencer.cpp).
    void SequencerStep();
    // One step; an exception that escapes it ends the run like an error.
    void GuardedStep();
    // A step that moved the run on (text taken, an operation started or ended,
    // the state changed) without leaving it waiting for the card has another
    // step follow as soon as the event loop has turned, instead of at the next
    // tick: the next script line, or a second reply that came in the same
    // arrival, would otherwise cost a timer interval each.
    void StepAgainIfMovedOn(std::uint8_t stateBefore);
    void StepAgain();
    static bool StepsWithoutCard(std::uint8_t state);
    void DriverRecString(TComDriver& Sender, std::int32_t nro);
    void StepIdle();
    void StepLoadScript();
    void OpenLink(bool lan);
    void StepQueryCard();
    void StepAwaitCardType();
    void StepStartSync();
    void StepAwaitSync();
    void StepFailed();
    void StepErrorBox();
    void StepStartClosing();
    void StepAwaitClosing();
    void StepCompleted();
    void StepNextMainLine();
    void StartComponent(const std::string& folder);
    void StepAwaitMainLine();
    void StepNextComponentLine();
    void StepAwaitComponentLine();
    void StepStartBootOption();
    void StepAwaitBootOption();
    void StepAwaitOptionCode();
    // Offers CurrentLine to the engines; true when one took it.
    bool Dispatch();
    void StepBusyEngines();
    void SyntaxError(std::int32_t lineNumber);
    void RestoreButtons();
    std::vector<TGestionnaire*> Engines() const;
    std::string SerialOpenError() const;

    // ---- Engine events (EngineEvents.cpp).
    void WireEngine(TGestionnaire& engine);
    void EngineSend(TGestionnaire& Sender);
    void EngineReceive(TGestionnaire& Sender);
    void EngineChangeBufIn(TGestionnaire& Sender);
    void EngineChangeBusy(TGestionnaire& Sender);
    void EngineStepProgress(TGestionnaire& Sender);
    void EngineChangeMaxProgress(TGestionnaire& Sender);
    void EngineInfo(TGestionnaire& Sender);
    void EngineError(TGestionnaire& Sender);
    void EngineChangeDeviceID(TGestionnaire& Sender);
    void LookUpOptionCode();

    // ---- Script filters (ScriptFilters.cpp).
    void SkipUpToDate(TGestionnaire& Sender, std::int32_t component);
    void SkipFailedCard(TGestionnaire& Sender, std::int32_t card);
    void CardReady(TGestionnaire& Sender, std::int32_t card);
    void FilterMainScriptManual();
    void FilterComponentScriptManual();

    // ---- Settings (Settings.cpp).
    std::int32_t PortSetting(const char* key, const char* defaultValue);

    std::string CurentCardDir;

    std::vector<std::string> ScriptLines;
    std::vector<std::string> ComponentLines;
    std::unique_ptr<TComDriver> Driver;
    std::unique_ptr<TProgBoot> ProgBoot;
    std::unique_ptr<TInstCrt> InstCrt;
    std::unique_ptr<TProgPsd> ProgPsd;
    std::unique_ptr<TProgJtag> ProgJtag;
    std::string ScriptPath;
    std::string ComponentScriptPath;
    std::int32_t ComponentIndex = -1;
    std::int32_t ScriptLineIndex = 0;
    std::int32_t ComponentLineIndex = 0;
    std::uint8_t SeqState = SeqIdle;
    std::int32_t CardDeviceID = 0;
    bool DeviceIdentified = false;
    std::string LastError;
    std::string OptionCode;
    TCompSelDlg* CompSel = nullptr;  // a child of the window
    std::uint32_t Countdown = 0;
    TSettingsList Settings;
    std::uint16_t ProbeIndex = 0;
    std::uint16_t ProbeRetries = 0;
    std::string AppDir;
    bool EngineBusy = false;
    std::string CurrentLine;
    std::string ReceivedText;

    std::string ScriptArgument;
    TAboutBox* AboutBox = nullptr;
    TIPConfigDlg* IPConfigDlg = nullptr;
    QActionGroup* PortGroup = nullptr;
    QActionGroup* ModeGroup = nullptr;
    // The port item that checking another one unchecked last; how a LAN/Setup
    // click that ends in Cancel finds the selection to give back.
    QAction* PortItemUnchecked = nullptr;
    bool InStep = false;
    // What the step under way did, as the engines' events tell it.
    bool StepMovedOn = false;
    bool StepSentToCard = false;
    bool StepAgainPosted = false;
    bool SettingsLoaded = false;
    bool Closed = false;
};
