// TCompSelDlg: which components of the card Manual mode programs.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QTabWidget;

class TCompSelDlg : public QDialog {
public:
    explicit TCompSelDlg(QWidget* parent = nullptr);

    QPushButton* OKBtn;
    QTabWidget* PCCompSel;
    QWidget* TSMB;
    QGroupBox* GBUD3;
    QCheckBox* CBMBMCU;
    QCheckBox* CBMBPROM1;
    QCheckBox* CBMB;
    QWidget* TSExt;
    QCheckBox* CBExt;

    void OKBtnClick();
    // The motherboard's own boxes follow "Program Motherboard": checked and
    // usable with it, cleared and locked without it.
    void CBMBClick();
};
