#include "TextDialog.h"

#include "Utils.h"
#include "constante.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int DialogWidth = 760;
constexpr int DialogHeight = 300;

}  // namespace

TTextDialog::TTextDialog(bool fixedPitch, QWidget* parent) : QDialog(parent)
{
    Lines = new QPlainTextEdit(this);
    Lines->setReadOnly(true);
    Lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    if (fixedPitch)
        Lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Copy = new QPushButton(QString::fromLatin1(constante::ButtonCopy), this);
    Close = new QPushButton(QString::fromLatin1(constante::ButtonOk), this);
    Close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Copy);
    buttons->addStretch();
    buttons->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Lines);
    layout->addLayout(buttons);
    connect(Copy, &QPushButton::clicked, this, [this] { CopyClick(); });
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);
    resize(DialogWidth, DialogHeight);
    setWindowIcon(ProgramIcon());
}

void TTextDialog::SetText(const QString& caption, const QString& text)
{
    setWindowTitle(caption);
    Lines->setPlainText(text);
}

void TTextDialog::AppendLine(const QString& line) { Lines->appendPlainText(line); }

QString TTextDialog::Text() const { return Lines->toPlainText(); }

void TTextDialog::CopyClick() { QGuiApplication::clipboard()->setText(Text()); }
