// Every modal message box of the program goes through one replaceable hook:
// a dialog in the window, a line on stderr in batch mode, a recorder in tests.
#pragma once

#include "BoxKind.h"

#include <QString>

#include <functional>

class QWidget;

// True when the operator went on: OK to every box, OK or Cancel to a question.
using TMessageBoxHook = std::function<bool(TBoxKind kind, const QString& text)>;

// The interactive form: a modal box over parent, with a single OK button, or
// OK and Cancel for a question.
bool ShowModalBox(QWidget* parent, TBoxKind kind, const QString& text);
// A hook that shows ShowModalBox over parent.
TMessageBoxHook ModalBoxHook(QWidget* parent);
