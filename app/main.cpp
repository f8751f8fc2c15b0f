// brunzit: the program entry. Creates the five windows in their fixed order,
// shows the splash, asks for a voice on first use, applies the stored
// settings, says the first word and only then shows the main window.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "app/taboutbox.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "platform/windowing.h"
#include "speech/espeakvoice.h"
#include "speech/speechdvoice.h"
#include "speech/tformdiccionariexcepcions.h"
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

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The main window decides when the program ends, not the last window
    // closed: the large-letter window may still be open.
    application.setQuitOnLastWindowClosed(false);

    auto formPrincipal = std::make_unique<TFormPrincipal>();
    auto aboutBox = std::make_unique<TAboutBox>();
    auto formLletra = std::make_unique<TFormLletra>();
    auto formDiccionari = std::make_unique<TFormDiccionariExcepcions>();

    brunzit::SpeechEngines engines;
    engines.createMsp = [] { return brunzit::createEspeakVoice(); };
    engines.createSapi = [] { return brunzit::createSpeechdVoice(); };
    auto formTTS = std::make_unique<TFormTTS>(engines, formDiccionari.get(), /*hideTestControls=*/true);

    formLletra->SetMainWindow(formPrincipal.get());
    formPrincipal->SetCompanions(aboutBox.get(), formLletra.get(), formTTS.get(), formTTS.get());

    ShowSplash(*aboutBox);

    if (brunzit::ReadIniString("tts", "Numero sintetitzador", "-1") == "-1")
        formTTS->exec();

    formPrincipal->LoadSettings();
    formPrincipal->SayText(formPrincipal->MenuTeclatVisible->isChecked() ? "A" : "espai");

    formPrincipal->showMaximized();
    return application.exec();
}
