// The waiting loop keeps the program alive without spinning, and windows come
// to the front.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <thread>

#include "platform/ticks.h"
#include "platform/windowing.h"

namespace brunzit {
namespace {

double processorSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(WaitProcessingMessagesTest, ZeroReturnsWithoutHandlingEvents)
{
    bool ran = false;
    QTimer::singleShot(0, qApp, [&] { ran = true; });
    WaitProcessingMessages(0);
    WaitProcessingMessages(-5);
    EXPECT_FALSE(ran);
    QApplication::processEvents();
    EXPECT_TRUE(ran);
}

TEST(WaitProcessingMessagesTest, ReturnsAfterTheTimeHandlingEventsMeanwhile)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, qApp, [&] { ++ticks; });
    timer.start(20);
    const std::int64_t start = tickCountMs();
    const double cpuStart = processorSeconds();
    WaitProcessingMessages(300);
    const std::int64_t waited = tickCountMs() - start;
    const double cpu = processorSeconds() - cpuStart;
    EXPECT_GE(waited, 300);
    EXPECT_GE(ticks, 5);
    // Waiting sleeps in the event loop: far from a core's worth of work.
    EXPECT_LT(cpu, 0.15);
}

TEST(WaitProcessingMessagesTest, HandlersMayWaitInsideAWait)
{
    // The engine waits while it speaks; a timer handler can speak meanwhile.
    bool innerDone = false;
    QTimer::singleShot(50, qApp, [&] {
        WaitProcessingMessages(100);
        innerDone = true;
    });
    const std::int64_t start = tickCountMs();
    WaitProcessingMessages(200);
    EXPECT_TRUE(innerDone);
    EXPECT_GE(tickCountMs() - start, 200);
}

TEST(WindowingTest, BringToFrontActivatesTheWindow)
{
    QWidget first;
    QWidget second;
    first.show();
    second.show();
    second.activateWindow();
    QApplication::processEvents();
    bringToFront(&first);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &first);
}

TEST(TicksTest, MonotonicMilliseconds)
{
    const std::int64_t before = tickCountMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::int64_t after = tickCountMs();
    EXPECT_GE(after - before, 30);
    EXPECT_LT(after - before, 10000);
}

}  // namespace
}  // namespace brunzit
