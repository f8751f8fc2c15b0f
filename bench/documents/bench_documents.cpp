// Opens and saves a 10 MB document in the real main window and prints how
// long each step takes and keeps the user-interface thread busy (best of
// five runs), and the longest time the interface went without handling
// events during an open and a save; then, each in a fresh process, the peak
// memory an open adds, as a multiple of the file's size (aim: 3 or less).
// With --memory: peak and steady memory and open time for 1, 10 and 60 MB
// files of short and of long lines.
// Run: bench_documents [megabytes] | bench_documents --memory

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
#include "editor/tformprincipal.h"
#include "speech/textspeaker.h"

namespace {

// Catalan-looking prose with accents, lines of about lineBytes bytes.
QByteArray makeDocument(qsizetype bytes, bool utf8, qsizetype lineBytes = 70) {
    const char* words[] = {"el", "pla\xE7" "a", "c\xE0" "lcul", "m\xE9s", "lletra", "teclat", "\xE8xit",
                           "pa\xEDs", "nen", "caf\xE8"};
    QByteArray text;
    text.reserve(bytes + 100);
    unsigned seed = 1;
    qsizetype lineStart = 0;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        text += words[(seed >> 16) % 10];
        if (text.size() - lineStart > lineBytes) {
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

namespace {

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

class SilentSpeaker : public brunzit::TextSpeaker {
public:
    void SpeakText(const std::string&) override {}
    void StopSpeaking() override {}
};

// The main window as the program shows it, speaking nowhere.
struct Window {
    SilentSpeaker speaker;
    TFormPrincipal form;
    Window() {
        form.SetCompanions(nullptr, nullptr, nullptr, &speaker);
        form.show();
        QApplication::processEvents();
    }
    brunzit::DocumentCommands& documents() { return *form.Documents(); }
};

// bench_documents --peak FILE: one open through the main window in this
// process; prints the peak resident memory it added, the memory it still
// holds once the text is on the screen, the same after the window has
// become wider, all in bytes, and the open's wall time in milliseconds.
int peakOfOneOpen(const QString& path) {
    Window window;
    const long before = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    window.form.LoadDocument(path.toStdString());
    const double ms = timer.nsecsElapsed() / 1e6;
    if (window.documents().DocumentName() != path)
        return 1;
    const long peak = statusKb("VmHWM:") - before;
    window.form.Editor->viewport()->repaint();
    QApplication::processEvents();
    const long steady = statusKb("VmRSS:") - before;
    window.form.resize(window.form.width() + 100, window.form.height());
    QApplication::processEvents();
    const long wider = statusKb("VmRSS:") - before;
    std::printf("%ld %ld %ld %.1f\n", peak * 1024, steady * 1024, wider * 1024, ms);
    return 0;
}

struct OpenMemory {
    double peak = 0, steady = 0, wider = 0, ms = 0;
};

OpenMemory measureOneOpen(const QString& path) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak"), path});
    child.waitForFinished(600000);
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    if (figures.size() != 4)
        return {};
    return {figures[0].toDouble(), figures[1].toDouble(), figures[2].toDouble(), figures[3].toDouble()};
}

QString writeDocument(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

// bench_documents --memory: memory and time of one open, each in a fresh
// process, for files of several sizes and line lengths; best of three.
int memoryTable() {
    QTemporaryDir dir;
    std::printf("one open through the main window, Windows-1252 files; memory in MB and as a multiple of the file\n");
    std::printf("%-6s %-6s %8s %15s %15s %15s %9s\n", "file", "lines", "blocks", "peak", "steady",
                "after widening", "open ms");
    for (const double megabytes : {1.0, 10.0, 60.0}) {
        for (const qsizetype lineBytes : {qsizetype(70), qsizetype(2000)}) {
            const QByteArray bytes = makeDocument(static_cast<qsizetype>(megabytes * 1024 * 1024), false, lineBytes);
            const QString path = writeDocument(dir, QStringLiteral("doc.txt"), bytes);
            // The least of three opens: other programs only ever add.
            OpenMemory m = measureOneOpen(path);
            for (int run = 1; run < 3; ++run) {
                const OpenMemory again = measureOneOpen(path);
                m = {std::min(m.peak, again.peak), std::min(m.steady, again.steady),
                     std::min(m.wider, again.wider), std::min(m.ms, again.ms)};
            }
            const double size = static_cast<double>(bytes.size());
            std::printf("%3.0f MB %4lld B %8lld %6.1f (%4.2fx) %6.1f (%4.2fx) %6.1f (%4.2fx) %9.0f\n", megabytes,
                        static_cast<long long>(lineBytes), static_cast<long long>(bytes.count('\n')),
                        m.peak / 1048576.0, m.peak / size, m.steady / 1048576.0, m.steady / size,
                        m.wider / 1048576.0, m.wider / size, m.ms);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0)
        return peakOfOneOpen(QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "--memory") == 0)
        return memoryTable();
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int runs = 5;
    QTemporaryDir dir;

    for (const bool utf8 : {false, true}) {
        const QByteArray bytes = makeDocument(static_cast<qsizetype>(megabytes * 1024 * 1024), utf8);
        const QString path = writeDocument(dir, utf8 ? QStringLiteral("utf8.txt") : QStringLiteral("cp1252.txt"), bytes);
        if (path.isEmpty())
            return 1;

        Window window;
        QPlainTextEdit& editor = *window.form.Editor;
        brunzit::DocumentCommands& documents = window.documents();

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

        const OpenMemory m = measureOneOpen(path);
        std::printf("  peak memory of an open: %.0f MB, %.2f times the file; %.2f times once shown\n",
                    m.peak / 1048576.0, m.peak / static_cast<double>(bytes.size()),
                    m.steady / static_cast<double>(bytes.size()));
    }
    return 0;
}
