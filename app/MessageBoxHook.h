// Every modal message box of the program goes through one replaceable hook:
// a dialog in the window, a line on stderr in batch mode, a recorder in tests.
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class TBoxKind { Error, Warning, Information };

using TMessageBoxHook = std::function<void(TBoxKind kind, const QString& text)>;

// The interactive form: a modal box with a single OK button over parent.
void ShowModalBox(QWidget* parent, TBoxKind kind, const QString& text);
// A hook that shows ShowModalBox over parent.
TMessageBoxHook ModalBoxHook(QWidget* parent);
