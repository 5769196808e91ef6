// TTextDialog: lines of text to read, select and copy: a card's status list,
// the summary of several cards.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class TTextDialog : public QDialog {
public:
    // fixedPitch: the text is a table whose columns line up.
    explicit TTextDialog(bool fixedPitch, QWidget* parent = nullptr);

    void SetText(const QString& caption, const QString& text);
    void AppendLine(const QString& line);
    QString Text() const;
    // Puts the whole text on the clipboard.
    void CopyClick();

    QPlainTextEdit* Lines;
    QPushButton* Copy;
    QPushButton* Close;
};
