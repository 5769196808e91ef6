#include "CompDlg.h"

#include "constante.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>

namespace {
QString Text(const char* text) { return QString::fromLatin1(text); }
}

TCompSelDlg::TCompSelDlg(QWidget* parent) : QDialog(parent)
{
    setFixedSize(303, 249);
    setWindowTitle(Text(constante::CompSelCaption));

    OKBtn = new QPushButton(Text(constante::ButtonOk), this);
    OKBtn->setGeometry(74, 208, 154, 33);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });

    PCCompSel = new QTabWidget(this);
    PCCompSel->setGeometry(11, 16, 281, 177);
    TSMB = new QWidget;
    PCCompSel->addTab(TSMB, Text(constante::CompSelMotherboardTab));
    CBMB = new QCheckBox(Text(constante::CompSelProgramMotherboard), TSMB);
    CBMB->setGeometry(16, 10, 220, 20);
    GBUD3 = new QGroupBox(Text(constante::CompSelGroup), TSMB);
    GBUD3->setGeometry(16, 36, 240, 96);
    CBMBMCU = new QCheckBox(Text(constante::CompSelMcu), GBUD3);
    CBMBMCU->setGeometry(16, 28, 200, 20);
    CBMBPROM1 = new QCheckBox(Text(constante::CompSelProm1), GBUD3);
    CBMBPROM1->setGeometry(16, 58, 200, 20);
    for (QCheckBox* box : {CBMB, CBMBMCU, CBMBPROM1})
        box->setChecked(true);
    connect(CBMB, &QCheckBox::toggled, this, [this] { CBMBClick(); });

    TSExt = new QWidget;
    const int extTab = PCCompSel->addTab(TSExt, Text(constante::CompSelExtTab));
    PCCompSel->setTabVisible(extTab, false);
    CBExt = new QCheckBox(Text(constante::CompSelProgramExt), TSExt);
    CBExt->setGeometry(16, 10, 220, 20);
    PCCompSel->setCurrentWidget(TSMB);
}

void TCompSelDlg::OKBtnClick() { accept(); }

void TCompSelDlg::CBMBClick()
{
    const bool program = CBMB->isChecked();
    for (QCheckBox* box : {CBMBMCU, CBMBPROM1}) {
        box->setEnabled(program);
        box->setChecked(program);
    }
}
