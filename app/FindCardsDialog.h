// TFindCardsDialog: "Find cards", a search of the LAN for the window of
// several cards.
//
// The operator gives the addresses and the card port and presses Find; the
// dialog asks before anything is sent, then lists each card that answers,
// checked. Add closes it with the checked cards, which the window adds as UDP
// cards from a local port the system chooses, as the search itself was sent.
#pragma once

#include "CardFinder.h"
#include "MessageBoxHook.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TFindCardsDialog : public QDialog {
public:
    explicit TFindCardsDialog(QWidget* parent = nullptr);

    // The range offered first: the /24 network of the card address the settings name.
    void Offer(const std::string& remoteAddress, std::int32_t cardPort);
    // Checks the entries, asks, and starts the search; false when nothing was sent.
    bool FindClick();
    bool Searching() const { return Finder.IsRunning(); }
    // The cards checked in the list.
    std::vector<TCardFinder::TFoundCard> CheckedCards() const;
    TCardFinder& GetFinder() { return Finder; }

    // Warnings and the question before the search; a modal box unless replaced.
    TMessageBoxHook ShowBox;

    QLineEdit* ERange;
    QLineEdit* EPort;
    QPushButton* BFind;
    QListWidget* CardList;
    QLabel* LStatus;
    QPushButton* BAdd;
    QPushButton* BClose;

protected:
    void done(int result) override;

private:
    void ShowFound(const TCardFinder::TFoundCard& card);
    void ShowProgress();
    void ShowFinished();

    TCardFinder Finder;
    std::vector<TCardFinder::TFoundCard> Cards;
};
