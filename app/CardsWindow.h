// TCardsWindow: the window of several cards, beside the main window.
//
// One row per card: its port (as batch mode names it), device ID, the step
// under way, an operation bar, an update bar, the time left and the result.
// Cards are added from the serial devices present, from a LAN address, or
// from a search of the LAN; an idle card can be removed. START starts every
// idle card, STOP stops every running one, and a row's context menu starts or
// stops its card alone. A failed card shows its message in its row, not in a
// box; a double click shows its status list. When every card has ended the
// summary is shown, ready to copy. The runs themselves belong to TCardSet;
// the window only wires and shows.
//
// The set of cards is kept in "Updater.prm" as CARD1, CARD2 ... (the --port
// text of each), unless the cards came from the command line.
#pragma once

#include "CardSet.h"
#include "MessageBoxHook.h"
#include "SerialDeviceList.h"
#include "SettingsFile.h"

#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class QTableWidget;
class TCompSelDlg;
class TFindCardsDialog;
class TIPConfigDlg;
class TSerialChecklistDialog;
class TTextDialog;

// What the window starts with.
struct TCardsSetup {
    std::string AppDir;
    // The main script named on the command line, or empty.
    std::string Script;
    // The Port menu's choice and the LAN values: the LAN card offered first,
    // the local port of a UDP card whose port names none, the check at START.
    TPortChoice Choice;
    bool Manual = false;
    TUpdateSession::TComponentSelection Selection;
    // The set of cards is read from and kept in the settings.
    bool KeepCards = true;
    // The bundle AppDir was unpacked from; none for a plain folder.
    std::optional<TReportBundle> Bundle;
};

class TCardsWindow : public QMainWindow {
public:
    enum TColumn { ColPort, ColDevice, ColStep, ColOperation, ColUpdate, ColTimeLeft, ColResult, ColumnCount };
    using TDialogHook = std::function<int(QDialog& dialog)>;

    // settings: the folder's "Updater.prm", loaded; it must outlive the window.
    TCardsWindow(const TCardsSetup& setup, TSettingsFile& settings, QWidget* parent = nullptr);
    ~TCardsWindow() override;

    // ---- Controls.
    QTableWidget* CardTable;
    QPushButton* Start;
    QPushButton* AddSerial;
    QPushButton* AddLan;
    QPushButton* FindCards;
    QMenu* Cards1;
    QAction* AddSerialItem;
    QAction* AddLanItem;
    QAction* FindCardsItem;
    QAction* RemoveItem;
    QAction* CloseItem;
    QMenu* Program1;
    QAction* MAuto;
    QAction* MManual;
    QAction* MCheckUpdate;

    // ---- Operations.
    // The set of cards kept in the settings; a card that cannot be added is
    // named in a warning and left out.
    void LoadCards();
    // Adds the card a --port text names; false, after a box, when it cannot be added.
    bool AddPort(const std::string& portText);
    // START or STOP, by whether a card runs.
    void StartClick();
    void StartCard(int row);
    void StopCard(int row);
    // The selected idle cards.
    void RemoveClick();
    void AddSerialClick();
    void AddLanClick();
    void FindCardsClick();
    void MManualClick();
    void ShowStatusList(int row);
    void ShowSummary();
    // Stops every run and keeps the set of cards; once only.
    void FormClose();

    TCardSet& GetCards() { return Cards; }
    TCompSelDlg& GetCompSel() { return *CompSel; }
    TSerialChecklistDialog& GetSerialChecklist() { return *SerialChecklist; }
    TIPConfigDlg& GetLanDialog() { return *LanDlg; }
    TFindCardsDialog& GetFindDialog() { return *FindDlg; }
    TTextDialog& GetStatusDialog() { return *StatusDlg; }
    TTextDialog& GetSummaryDialog() { return *SummaryDlg; }

    // ---- Hooks: every box goes through ShowBox, every dialog through ShowDialog.
    TMessageBoxHook ShowBox;
    TDialogHook ShowDialog;
    TSerialDeviceList SerialDevices;
    // The window has closed.
    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void WireCards();
    void KeepCards();
    bool AddCard(const TPortArgument& port);
    void AddRow(const TCardSet::TCard& card);
    void ShowCard(const TCardSet::TCard& card);
    void ShowBar(const TCardSet::TCard& card, TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value);
    void ShowRunning();
    void ShowContextMenu(const QPoint& at);
    void FeedCards();

    TCardsSetup Setup;
    TSettingsFile& Settings;
    TCardSet Cards;
    TCompSelDlg* CompSel = nullptr;
    TSerialChecklistDialog* SerialChecklist = nullptr;
    TIPConfigDlg* LanDlg = nullptr;
    TFindCardsDialog* FindDlg = nullptr;
    TTextDialog* StatusDlg = nullptr;
    TTextDialog* SummaryDlg = nullptr;
    QActionGroup* ModeGroup = nullptr;
    // The card whose status list is shown.
    const TCardSet::TCard* StatusCard = nullptr;
    bool Closed = false;
};
