// A progress bar that shows no text. QProgressBar works out its text (three
// numbers formatted for the locale) on every change of value, to decide whether
// to repaint, even when the text is hidden; during an upload that is once per
// line sent.
#pragma once

#include <QProgressBar>

class TTextlessProgressBar : public QProgressBar {
public:
    using QProgressBar::QProgressBar;
    QString text() const override { return {}; }
};
