// brunzit: the program entry. Creates the five windows in their fixed order,
// shows the splash, asks for a voice on first use, applies the stored
// settings, says the first word and only then shows the main window.

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "app/taboutbox.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "platform/windowing.h"
#include "speech/audiosink.h"
#include "speech/espeakvoice.h"
#include "speech/speechdvoice.h"
#include "speech/tformdiccionariexcepcions.h"
#include "speech/speechservice.h"
#include "speech/tformtts.h"
#include "speech/unitfileini.h"

namespace {

constexpr int kSplashMs = 2000;
constexpr int kSplashHeightCut = 28;

void ShowSplash(TAboutBox& aboutBox)
{
    aboutBox.ButtonOK->hide();
    aboutBox.resize(aboutBox.width(), aboutBox.height() - kSplashHeightCut);
    aboutBox.show();
    aboutBox.TimerImatges->stop();
    brunzit::WaitProcessingMessages(kSplashMs);
    aboutBox.hide();
    aboutBox.LabelCredits->setToolTipDuration(-1);
    aboutBox.resize(aboutBox.width(), aboutBox.height() + kSplashHeightCut);
    aboutBox.ButtonOK->show();
}

const char* const kSpeechTitle = "TTS - Projecte Remor 2016";

// Without a voice that can be heard the program would be mute with no sign:
// say so on the main window for good and once in a box.
void ReportNoSound(TFormPrincipal& formPrincipal)
{
    const QString text = QStringLiteral(
        "Sense veu: no hi ha cap servidor de so o cap veu instal\u00B7lada. "
        "Reviseu el so i trieu una veu a \u00ABSintetitzador\u00BB.");
    auto* label = new QLabel(text);
    label->setAccessibleName(text);
    formPrincipal.statusBar()->addPermanentWidget(label, 1);
    QMessageBox::warning(&formPrincipal, QString::fromLatin1(kSpeechTitle), text);
}

constexpr const char* kUsage =
    "Usage: brunzit [--help | --version]\n"
    "A talking writing aid and calculator: write by choosing keys and hear\n"
    "everything. It takes no other arguments; see brunzit(1).\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// The command line is answered before the window system is reached, so
// --help and --version work without a display. Returns the exit code when the
// program must not start.
std::optional<int> HandleCommandLine(int argc, char* argv[])
{
    if (argc < 2)
        return std::nullopt;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("brunzit %s\n", BRUNZIT_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // The first argument not understood: a second one after --help, say.
    const bool firstKnown = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0;
    std::fprintf(stderr, "brunzit: unexpected argument '%s'\nTry 'brunzit --help'.\n", argv[firstKnown ? 2 : 1]);
    return 2;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> exitCode = HandleCommandLine(argc, argv))
        return *exitCode;

    QApplication application(argc, argv);
    // The main window decides when the program ends, not the last window
    // closed: the large-letter window may still be open.
    application.setQuitOnLastWindowClosed(false);

    // Made before the windows and so destroyed after them: the main window
    // may still speak while it closes.
    std::unique_ptr<brunzit::SpeechService> speech;
    auto formPrincipal = std::make_unique<TFormPrincipal>();
    auto aboutBox = std::make_unique<TAboutBox>();
    auto formLletra = std::make_unique<TFormLletra>();
    auto formDiccionari = std::make_unique<TFormDiccionariExcepcions>();

    brunzit::SpeechEngines engines;
    engines.createMsp = [] { return brunzit::createEspeakVoice(); };
    engines.createSapi = [] { return brunzit::createSpeechdVoice(); };
    engines.soundServerAnswers = [] { return brunzit::createPulseSink("brunzit")->open(22050); };
    speech = std::make_unique<brunzit::SpeechService>(
        engines, &formDiccionari->inUse(), [](const std::string& text) {
            QMessageBox::critical(nullptr, QString::fromLatin1(kSpeechTitle), QString::fromStdString(text));
        });
    auto formTTS = std::make_unique<TFormTTS>(*speech, formDiccionari.get(), /*hideTestControls=*/true);

    formLletra->SetMainWindow(formPrincipal.get());
    formPrincipal->SetCompanions(aboutBox.get(), formLletra.get(), formTTS.get(), speech.get());

    ShowSplash(*aboutBox);

    if (brunzit::ReadIniString("tts", "Numero sintetitzador", "-1") == "-1")
        formTTS->exec();

    formPrincipal->LoadSettings();
    formPrincipal->SayText(formPrincipal->MenuTeclatVisible->isChecked() ? "A" : "espai");

    formPrincipal->showMaximized();
    if (!speech->CanMakeSound())
        ReportNoSound(*formPrincipal);
    return application.exec();
}
