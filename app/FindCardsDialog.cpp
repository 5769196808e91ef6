#include "FindCardsDialog.h"

#include "AddressRange.h"
#include "DecodedText.h"
#include "FindCommand.h"
#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int DialogWidth = 460;
constexpr int DialogHeight = 320;
constexpr std::uint32_t LastPartMask = 0xFF;
constexpr int OfferedPrefix = 24;

QString Text(const char* text) { return QString::fromLatin1(text); }

}  // namespace

TFindCardsDialog::TFindCardsDialog(QWidget* parent) : QDialog(parent), ShowBox(ModalBoxHook(this))
{
    setWindowTitle(Text(constante::FindCaption));
    ERange = new QLineEdit(this);
    EPort = new QLineEdit(QString::number(TCardFinder::DefaultCardPort), this);
    BFind = new QPushButton(Text(constante::ButtonFind), this);
    CardList = new QListWidget(this);
    LStatus = new QLabel(this);
    BAdd = new QPushButton(Text(constante::ButtonAdd), this);
    BAdd->setEnabled(false);
    BClose = new QPushButton(Text(constante::LanCancel), this);

    auto* entries = new QFormLayout;
    entries->addRow(Text(constante::FindRangeLabel), ERange);
    entries->addRow(Text(constante::FindPortLabel), EPort);
    auto* find = new QHBoxLayout;
    find->addStretch();
    find->addWidget(BFind);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BAdd);
    buttons->addWidget(BClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entries);
    layout->addLayout(find);
    layout->addWidget(CardList, 1);
    layout->addWidget(LStatus);
    layout->addLayout(buttons);

    connect(BFind, &QPushButton::clicked, this, [this] { FindClick(); });
    connect(BAdd, &QPushButton::clicked, this, &QDialog::accept);
    connect(BClose, &QPushButton::clicked, this, &QDialog::reject);
    Finder.OnFound = [this](const TCardFinder::TFoundCard& card) { ShowFound(card); };
    Finder.OnProgress = [this] { ShowProgress(); };
    Finder.OnFinished = [this] { ShowFinished(); };
    resize(DialogWidth, DialogHeight);
    setWindowIcon(ProgramIcon());
}

void TFindCardsDialog::Offer(const std::string& remoteAddress, std::int32_t cardPort)
{
    std::vector<std::uint32_t> single;
    if (AddressRange::Parse(remoteAddress + "/32", single))
        ERange->setText(QString::fromStdString(AddressRange::Text(single.front() & ~LastPartMask) + '/' +
                                               std::to_string(OfferedPrefix)));
    if (cardPort > 0)
        EPort->setText(QString::number(cardPort));
}

bool TFindCardsDialog::FindClick()
{
    if (Finder.IsRunning())
        return false;
    std::vector<std::uint32_t> addresses;
    std::uint16_t port = 0;
    std::string error;
    const std::string range = Bytes(ERange->text().trimmed());
    if (!ParseFindArguments(range, Bytes(EPort->text().trimmed()), addresses, port, error)) {
        ShowBox(TBoxKind::Warning, DecodedText(error));
        return false;
    }
    const std::string question =
        FormatText(constante::FindAskFormat, {std::to_string(port), std::to_string(addresses.size()), range});
    if (!ShowBox(TBoxKind::Question, DecodedText(question)))
        return false;
    CardList->clear();
    Cards.clear();
    BAdd->setEnabled(false);
    if (!Finder.Start(addresses, port, error)) {
        ShowBox(TBoxKind::Error, DecodedText(error));
        return false;
    }
    BFind->setEnabled(false);
    ShowProgress();
    return true;
}

void TFindCardsDialog::ShowFound(const TCardFinder::TFoundCard& card)
{
    Cards.push_back(card);
    auto* item = new QListWidgetItem(QString::fromStdString(FoundCardText(card)), CardList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    BAdd->setEnabled(true);
}

void TFindCardsDialog::ShowProgress()
{
    LStatus->setText(QString::fromStdString(FormatText(
        FormatText(constante::FindProgressFormat, std::to_string(Finder.Queried())), std::to_string(Finder.Total()))));
}

void TFindCardsDialog::ShowFinished()
{
    BFind->setEnabled(true);
    std::string text = FormatText(constante::FindResultFormat, std::to_string(Cards.size()));
    if (Finder.SendFailures() > 0)
        text += "; " + FormatText(constante::FindSendFailed, Finder.SendError());
    LStatus->setText(DecodedText(text));
}

std::vector<TCardFinder::TFoundCard> TFindCardsDialog::CheckedCards() const
{
    std::vector<TCardFinder::TFoundCard> checked;
    for (std::size_t row = 0; row < Cards.size(); ++row)
        if (CardList->item(static_cast<int>(row))->checkState() == Qt::Checked)
            checked.push_back(Cards[row]);
    return checked;
}

// Closing ends a search that is still on: nothing more is sent.
void TFindCardsDialog::done(int result)
{
    Finder.Stop();
    BFind->setEnabled(true);
    QDialog::done(result);
}
