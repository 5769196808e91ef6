// TAboutBox: the program's title, version and maker.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* LTitle;
    QLabel* LMaker;
    QPushButton* OKButton;
    QLabel* LVersion;

private:
    void FormCreate();
};
