// Time from a key event to the text reaching the speech service, through the
// real main window on the offscreen platform, with documents of 1 KB, 1 MB
// and 10 MB. Keys enter at the window, as the platform delivers them
// (shortcut check and event filter included); the clock starts when the event
// is handed over and stops inside SpeakText ("to speech"). "whole key" runs
// until the key's handler returns: work done after the speech still delays
// the next key. Beside the wall clock, the thread's own CPU time to speech:
// on a loaded machine the wall clock also counts the time other programs ran.
// Run: editor_key_latency_bench [keys per case]

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "editor/scanning.h"
#include "editor/tformprincipal.h"
#include "speech/textspeaker.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double Microseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

class TimestampSpeaker : public brunzit::TextSpeaker {
public:
    void SpeakText(const std::string&) override
    {
        if (!stamped) {
            at = Clock::now();
            cpuAt = ThreadCpuMicroseconds();
            stamped = true;
        }
        ++texts;
    }
    void StopSpeaking() override {}
    Clock::time_point at{};
    double cpuAt = 0;
    bool stamped = false;
    int texts = 0;
};

struct Figures {
    double median = 0, p99 = 0, max = 0;
};

Figures Summarise(std::vector<double> us)
{
    Figures f;
    if (us.empty())
        return f;
    std::sort(us.begin(), us.end());
    f.median = us[us.size() / 2];
    f.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    f.max = us.back();
    return f;
}

// Presses key `count` times; before each press `prepare` may set the scene.
void Measure(const char* name, TFormPrincipal& form, TimestampSpeaker& speaker, Qt::Key key, int count,
             const std::function<void()>& prepare)
{
    QWindow* window = form.windowHandle();
    std::vector<double> toSpeech, cpu, whole;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        if (prepare)
            prepare();
        speaker.stamped = false;
        const double cpuStart = ThreadCpuMicroseconds();
        const Clock::time_point start = Clock::now();
        QTest::keyPress(window, key);
        const Clock::time_point done = Clock::now();
        if (speaker.stamped) {
            toSpeech.push_back(Microseconds(start, speaker.at));
            cpu.push_back(speaker.cpuAt - cpuStart);
        } else
            ++missed;
        whole.push_back(Microseconds(start, done));
        QTest::keyRelease(window, key);
        QCoreApplication::processEvents();
    }
    const Figures s = Summarise(toSpeech);
    const Figures c = Summarise(cpu);
    const Figures w = Summarise(whole);
    std::printf("  %-32s to speech: median %7.1f p99 %8.1f max %8.1f us, CPU p99 %7.1f us | whole key: p99 "
                "%8.1f us%s\n",
                name, s.median, s.p99, s.max, c.p99, w.p99, missed ? "  (some keys said nothing)" : "");
}

// F1 reads the whole text; the pieces that follow come from the event loop.
// The longest single pass is what a key pressed meanwhile may wait.
void MeasureReadAll(TFormPrincipal& form, TimestampSpeaker& speaker)
{
    speaker.stamped = false;
    speaker.texts = 0;
    const Clock::time_point start = Clock::now();
    QTest::keyPress(form.windowHandle(), Qt::Key_F1);
    double longest = Microseconds(start, Clock::now());
    const double toSpeech = Microseconds(start, speaker.at);
    QTest::keyRelease(form.windowHandle(), Qt::Key_F1);
    for (int idle = 0; idle < 20;) {
        const int before = speaker.texts;
        const Clock::time_point pass = Clock::now();
        QCoreApplication::processEvents();
        longest = std::max(longest, Microseconds(pass, Clock::now()));
        idle = speaker.texts == before ? idle + 1 : 0;
    }
    std::printf("  %-32s to speech %8.1f us, %d texts, longest pass %8.1f us, all %8.1f ms\n", "read all (F1)",
                toSpeech, speaker.texts, longest, Microseconds(start, Clock::now()) / 1000);
}

std::string Document(std::size_t bytes)
{
    std::string text;
    while (text.size() < bytes)
        text += "el teclat diu cada lletra, i la calculadora diu el resultat: 2+3 = 5\r\n";
    return "BEXO " + text + "HOLA";
}

void MeasureDocument(const char* size, std::size_t bytes, TFormPrincipal& form, TimestampSpeaker& speaker,
                     int count)
{
    const std::string text = Document(bytes);
    const Clock::time_point start = Clock::now();
    form.SetEditorText(text);
    std::printf("%s document: SetEditorText %.1f ms\n", size, Microseconds(start, Clock::now()) / 1000);

    using brunzit::FunctionsBlock;
    using brunzit::LettersBlock;
    const auto at = [&](int col, int row) { return [&form, col, row] { form.SetPosition({col, row}); }; };
    // The first end of a word after loading fixes the whole text once; the
    // letters written then give the last word something to say.
    Measure("scanning: end of word (espai)", form, speaker, Qt::Key_Return, count, at(0, LettersBlock));
    Measure("scanning: write a letter", form, speaker, Qt::Key_Return, count, at(1, LettersBlock));
    Measure("scanning: read last word", form, speaker, Qt::Key_Return, count, at(1, FunctionsBlock));
    Measure("scanning: delete last letter", form, speaker, Qt::Key_Return, count, at(2, FunctionsBlock));
    Measure("scanning: delete last word", form, speaker, Qt::Key_Return, count, at(3, FunctionsBlock));
    Measure("scanning: calculate", form, speaker, Qt::Key_Return, count / 4, at(6, FunctionsBlock));
    Measure("scanning: Right (step, say)", form, speaker, Qt::Key_Right, count, {});
    MeasureReadAll(form, speaker);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;

    TimestampSpeaker speaker;
    TFormPrincipal form;
    form.SetCompanions(nullptr, nullptr, nullptr, &speaker);
    form.show();
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form)) {
        std::fprintf(stderr, "the window did not become active\n");
        return 1;
    }
    form.Editor->setFocus();

    std::printf("key event to SpeakText, %d keys per case\n", count);
    MeasureDocument("1 KB", 1000, form, speaker, count);
    MeasureDocument("1 MB", 1000000, form, speaker, count);
    MeasureDocument("10 MB", 10000000, form, speaker, count);

    form.SetEditorText("");
    form.MenuTeclatVisibleClick();
    QCoreApplication::processEvents();
    std::printf("grid keyboard, empty document\n");
    Measure("grid: Right (move, say the key)", form, speaker, Qt::Key_Right, count, {});
    Measure("grid: Return on a letter", form, speaker, Qt::Key_Return, count,
            [&] { form.SetPosition({1, 0}); });
    return 0;
}
