// Time from a key event to the text reaching the speech service, through the
// real main window on the offscreen platform. Keys enter at the window, as the
// platform delivers them (shortcut check and event filter included); the
// clock starts when the event is handed over and stops inside SpeakText.
// The posted Ctrl+End that follows each key is handled outside the timing.
// Run: editor_key_latency_bench [keys per case]

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "editor/tformprincipal.h"
#include "speech/textspeaker.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimestampSpeaker : public brunzit::TextSpeaker {
public:
    void SpeakText(const std::string&) override
    {
        if (!stamped) {
            at = Clock::now();
            stamped = true;
        }
    }
    void StopSpeaking() override {}
    Clock::time_point at{};
    bool stamped = false;
};

struct Figures {
    double first = 0, median = 0, p95 = 0, max = 0;
    int missed = 0;
};

Figures Summarise(std::vector<double> us, int missed)
{
    Figures f;
    f.missed = missed;
    if (us.empty())
        return f;
    f.first = us.front();
    std::sort(us.begin(), us.end());
    f.median = us[us.size() / 2];
    f.p95 = us[std::min(us.size() - 1, us.size() * 95 / 100)];
    f.max = us.back();
    return f;
}

// Presses key `count` times; before each press `prepare` may set the scene.
Figures Measure(TFormPrincipal& form, TimestampSpeaker& speaker, Qt::Key key, int count,
                const std::function<void()>& prepare)
{
    QWindow* window = form.windowHandle();
    std::vector<double> us;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        if (prepare)
            prepare();
        speaker.stamped = false;
        const Clock::time_point start = Clock::now();
        QTest::keyPress(window, key);
        if (speaker.stamped)
            us.push_back(std::chrono::duration<double, std::micro>(speaker.at - start).count());
        else
            ++missed;
        QTest::keyRelease(window, key);
        QCoreApplication::processEvents();
    }
    return Summarise(us, missed);
}

void Report(const char* name, const Figures& f)
{
    std::printf("%-48s median %6.1f us  p95 %6.1f us  max %8.1f us  first key %8.1f us%s\n", name, f.median,
                f.p95, f.max, f.first, f.missed ? "  (some keys said nothing)" : "");
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;

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
    Report("scanning: Right (step and say the item)", Measure(form, speaker, Qt::Key_Right, count, {}));
    Report("scanning: Down (next block)", Measure(form, speaker, Qt::Key_Down, count, {}));

    // Choosing "A": append a letter and echo it; the text grows to `count` letters.
    form.SetEditorText("");
    Report("scanning: Return on a letter (append, echo)", Measure(form, speaker, Qt::Key_Return, count, [&] {
               form.SetPosition({1, 0});
           }));
    // Choosing "espai": the word just finished is looked up in the whole text.
    Report("scanning: Return on espai (text of ~2000 chars)",
           Measure(form, speaker, Qt::Key_Return, count / 4, [&] {
               form.SetPosition({0, 0});
           }));

    // The same in a document of about 1 MB in lines of 70 characters.
    std::string big;
    while (big.size() < 1000000)
        big += "el teclat diu cada lletra, i la calculadora diu el resultat: 2+3 = 5\r\n";
    form.SetEditorText(big + "HOLA");
    Report("scanning: Return on espai (1 MB document)", Measure(form, speaker, Qt::Key_Return, count / 4, [&] {
               form.SetPosition({0, 0});
           }));

    form.SetEditorText("");
    form.MenuTeclatVisibleClick();
    QCoreApplication::processEvents();
    Report("grid: Right (move the highlight, say the key)", Measure(form, speaker, Qt::Key_Right, count, {}));
    Report("grid: Return on a letter (append, echo)", Measure(form, speaker, Qt::Key_Return, count, [&] {
               form.SetPosition({1, 0});
           }));
    return 0;
}
