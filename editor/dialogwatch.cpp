#include "editor/dialogwatch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <algorithm>

namespace brunzit {

QString messageBoxSpeech(const QMessageBox* box)
{
    QList<QAbstractButton*> buttons = box->buttons();
    buttons.removeIf([](const QAbstractButton* button) { return button->isHidden(); });
    std::stable_sort(buttons.begin(), buttons.end(), [](const QAbstractButton* a, const QAbstractButton* b) {
        const QPoint pa = a->mapTo(a->window(), QPoint());
        const QPoint pb = b->mapTo(b->window(), QPoint());
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    QString said = box->text();
    for (const QAbstractButton* button : buttons)
        said += QStringLiteral(". ") + QString(button->text()).remove(QLatin1Char('&'));
    return said;
}

DialogWatch::DialogWatch(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

bool DialogWatch::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide && type != QEvent::Destroy)
        return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isWindow()) {
        if (type == QEvent::Destroy)
            forget(watched);
        return false;
    }
    if (type == QEvent::Show) {
        const bool known = std::any_of(open_.begin(), open_.end(),
                                       [dialog](const QPointer<QDialog>& d) { return d == dialog; });
        if (!known) {
            open_.emplace_back(dialog);
            if (open_.size() == 1 && firstOpened)
                firstOpened();
        }
        if (auto* box = qobject_cast<QMessageBox*>(dialog); box && messageShown)
            messageShown(messageBoxSpeech(box));
    } else {
        forget(dialog);
    }
    return false;
}

void DialogWatch::forget(QObject* dialog)
{
    const std::size_t before = open_.size();
    open_.erase(std::remove_if(open_.begin(), open_.end(),
                               [dialog](const QPointer<QDialog>& d) { return d.isNull() || d == dialog; }),
                open_.end());
    if (before > 0 && open_.empty() && lastClosed)
        lastClosed();
}

}  // namespace brunzit
