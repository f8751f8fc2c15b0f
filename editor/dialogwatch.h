#pragma once
// An application-wide watch on the program's dialogs and message boxes: the
// large-letter window, always on top, must stay out of their way, and a user
// who cannot see must hear what a message box asks.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QDialog;
class QMessageBox;

namespace brunzit {

// What a message box says when it appears: its text, then its buttons in the
// order they stand on the screen, without their accelerator marks.
QString messageBoxSpeech(const QMessageBox* box);

class DialogWatch : public QObject {
public:
    // Watches every window of the application from now on.
    explicit DialogWatch(QObject* parent);

    std::function<void()> firstOpened;   // no dialog was open, one is now
    std::function<void()> lastClosed;    // the last open dialog has closed
    std::function<void(const QString&)> messageShown;

    bool anyOpen() const { return !open_.empty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void forget(QObject* dialog);
    std::vector<QPointer<QDialog>> open_;
};

}  // namespace brunzit
