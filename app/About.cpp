#include "About.h"

#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setFixedSize(280, 147);
    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 8, 265, 129);
    // A lowered outer bevel around a raised inner one reads as an etched frame.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(1);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(16, 24, 41, 41);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(64, 64));
    LTitle = new QLabel(Panel1);
    LTitle->move(74, 24);
    LMaker = new QLabel(Panel1);
    LMaker->move(80, 60);
    LVersion = new QLabel(Panel1);
    LVersion->move(96, 42);
    OKButton = new QPushButton(QString::fromLatin1(constante::ButtonOk), this);
    OKButton->setGeometry(103, 100, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void TAboutBox::FormCreate()
{
    setWindowTitle(Latin1(FormatText(constante::AboutCaptionFormat, constante::ProgramTitle)));
    LTitle->setText(QString::fromLatin1(constante::ProgramTitle));
    LVersion->setText(Latin1(FormatText(constante::VersionFormat, constante::ProgramVersion)));
    LMaker->setText(QString::fromLatin1(constante::MakerLine));
    for (QLabel* label : {LTitle, LVersion, LMaker})
        label->adjustSize();
}
