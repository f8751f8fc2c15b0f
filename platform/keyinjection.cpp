#include "platform/keyinjection.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace brunzit {

namespace {

QString textOf(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    // Return types a line break into a text control only when no modifier
    // turns it into a command, as a typed Return would.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return QStringLiteral("\r");
    return {};
}

}  // namespace

void injectKeyStroke(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        return;
    // Posted, not sent: they are handled after the event being handled now,
    // in the order pressed and released, like keys from the input queue.
    const QString text = textOf(key, modifiers);
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}

void injectCtrlEnd()
{
    injectKeyStroke(Qt::Key_End, Qt::ControlModifier);
}

void injectReturn()
{
    injectKeyStroke(Qt::Key_Return);
}

}  // namespace brunzit
