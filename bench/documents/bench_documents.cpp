// Opens and saves a 10 MB document the way the editor does and prints how
// long each step takes and keeps the user-interface thread busy (best of
// five runs), and the longest time the interface went without handling
// events during an open and a save; then, each in a fresh process, the peak
// memory an open adds, as a multiple of the file's size (aim: 3 or less).
// Run: bench_documents [megabytes]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include "editor/documents.h"

namespace {

// Catalan-looking prose with accents, about 70 bytes a line.
QByteArray makeDocument(qsizetype bytes, bool utf8) {
    const char* words[] = {"el", "pla\xE7" "a", "c\xE0" "lcul", "m\xE9s", "lletra", "teclat", "\xE8xit",
                           "pa\xEDs", "nen", "caf\xE8"};
    QByteArray text;
    text.reserve(bytes + 100);
    unsigned seed = 1;
    qsizetype lineStart = 0;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        text += words[(seed >> 16) % 10];
        if (text.size() - lineStart > 70) {
            text += "\r\n";
            lineStart = text.size();
        } else {
            text += ' ';
        }
    }
    if (!utf8)
        return text;
    // The same text in UTF-8.
    return brunzit::encodeDocument(brunzit::decodeDocument(text).text, brunzit::TextEncoding::Utf8);
}

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall-clock and processor time of the user-interface thread: on a busy
// machine the wall clock overstates what the user would wait.
struct Timing {
    double wall = 1e300, cpu = 1e300;
};

Timing bestOf(int runs, const std::function<void()>& step) {
    Timing best;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        step();
        best.wall = std::min(best.wall, timer.nsecsElapsed() / 1e6);
        best.cpu = std::min(best.cpu, threadCpuMs() - cpuStart);
    }
    return best;
}

// The longest time the user-interface thread went without handling events
// while step ran: what the user feels as a frozen window. A 5 ms timer
// records the gaps between its ticks.
double longestPause(const std::function<void()>& step) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start();
    QApplication::processEvents();
    last = clock.nsecsElapsed();
    step();
    QApplication::processEvents();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return longest / 1e6;
}

void report(const char* step, const Timing& t) {
    std::printf("  %-16s %8.1f %8.1f\n", step, t.wall, t.cpu);
}

}  // namespace

long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// bench_documents --peak FILE: one open in this process; prints the peak
// resident memory it added, in bytes.
int peakOfOneOpen(const QString& path) {
    QWidget window;
    QPlainTextEdit editor(&window);
    brunzit::DocumentCommands documents(&editor, &window);
    window.show();
    QApplication::processEvents();
    const long before = statusKb("VmRSS:");
    if (!documents.LoadDocument(path))
        return 1;
    std::printf("%ld\n", (statusKb("VmHWM:") - before) * 1024);
    return 0;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0)
        return peakOfOneOpen(QString::fromLocal8Bit(argv[2]));
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int runs = 5;
    QTemporaryDir dir;

    for (const bool utf8 : {false, true}) {
        const QByteArray bytes = makeDocument(static_cast<qsizetype>(megabytes * 1024 * 1024), utf8);
        const QString path = dir.filePath(utf8 ? QStringLiteral("utf8.txt") : QStringLiteral("cp1252.txt"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();

        QWidget window;
        window.resize(774, 596);
        QPlainTextEdit editor(&window);
        editor.resize(774, 596);
        brunzit::DocumentCommands documents(&editor, &window);
        window.show();
        QApplication::processEvents();

        brunzit::DecodedText decoded;
        const Timing read = bestOf(runs, [&] {
            QFile in(path);
            in.open(QIODevice::ReadOnly);
            in.readAll();
        });
        const Timing decode = bestOf(runs, [&] { decoded = brunzit::decodeDocument(bytes); });
        const Timing setText = bestOf(runs, [&] { editor.setPlainText(decoded.text); });
        const Timing load = bestOf(runs, [&] { documents.LoadDocument(path); });
        // What the user waits for: the opened text painted on the screen.
        const Timing loadAndPaint = bestOf(runs, [&] {
            documents.LoadDocument(path);
            editor.viewport()->repaint();
            QApplication::processEvents();
        });
        double loadPause = 1e300, savePause = 1e300;
        for (int i = 0; i < runs; ++i) {
            loadPause = std::min(loadPause, longestPause([&] { documents.LoadDocument(path); }));
            savePause = std::min(savePause, longestPause([&] { documents.SaveDocument(); }));
        }
        const Timing encode = bestOf(runs, [&] {
            brunzit::encodeDocument(documents.EditorText(), documents.Encoding());
        });
        const Timing save = bestOf(runs, [&] { documents.SaveDocument(); });

        std::printf("%s, %.1f MB, %d lines (best of %d, milliseconds)\n", utf8 ? "UTF-8" : "Windows-1252",
                    bytes.size() / 1048576.0, editor.blockCount(), runs);
        std::printf("  %-16s %8s %8s\n", "", "wall", "cpu");
        report("read file", read);
        report("decode", decode);
        report("setPlainText", setText);
        report("LoadDocument", load);
        report("open and paint", loadAndPaint);
        report("text and encode", encode);
        report("SaveDocument", save);
        std::printf("  longest pause of the interface: open %.1f, save %.1f\n", loadPause, savePause);

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak"), path});
        child.waitForFinished(600000);
        const double added = child.readAllStandardOutput().trimmed().toDouble();
        std::printf("  peak memory of an open: %.0f MB, %.2f times the file\n", added / 1048576.0,
                    added / static_cast<double>(bytes.size()));
    }
    return 0;
}
