#include "platform/windowing.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <thread>

namespace brunzit {

void bringToFront(QWidget* window)
{
    if (!window)
        return;
    QWidget* top = window->window();
    if (top->isMinimized())
        top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    top->raise();
    top->activateWindow();
}

int osMajorVersion()
{
    return 6;
}

namespace {

void Wait(int ms)
{
    if (ms <= 0)
        return;
    if (!QCoreApplication::instance()) {
        // No event loop to keep alive (a tool or a test without an
        // application object): waiting is all there is to do.
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    // A nested loop sleeps in the event dispatcher until an event or the
    // timer arrives, instead of polling the clock. A handler that itself
    // waits nests another loop; this one returns once that one has.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

}  // namespace

void WaitProcessingMessages(int ms)
{
    Wait(ms);
}

}  // namespace brunzit
