#include "MessageBoxHook.h"

#include "constante.h"

#include <QMessageBox>

bool ShowModalBox(QWidget* parent, TBoxKind kind, const QString& text)
{
    const QString title = QString::fromLatin1(constante::ProgramTitle);
    switch (kind) {
    case TBoxKind::Error: QMessageBox::critical(parent, title, text); break;
    case TBoxKind::Warning: QMessageBox::warning(parent, title, text); break;
    case TBoxKind::Information: QMessageBox::information(parent, title, text); break;
    case TBoxKind::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
               QMessageBox::Ok;
    }
    return true;
}

TMessageBoxHook ModalBoxHook(QWidget* parent)
{
    return [parent](TBoxKind kind, const QString& text) { return ShowModalBox(parent, kind, text); };
}
