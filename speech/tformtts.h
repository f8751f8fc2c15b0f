#pragma once
// The speech service and its settings window: one list of the voices of three
// engine kinds ("MSP", "SAPI", "UPCTV"), a speed from -10 to 10, and the one
// path by which every text of the program is spoken.
//
// The chosen voice is only a position in ListBoxMotorsDeVeu; every operation
// maps the current position to an engine through the position rule.

#include <QDialog>
#include <memory>
#include <string>

#include "platform/profilefile.h"
#include "speech/speechengines.h"
#include "speech/textspeaker.h"
#include "speech/unitupctv.h"
#include "speech/voiceengine.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;
class TFormDiccionariExcepcions;

namespace brunzit {

enum class EngineKind { Msp, Sapi, Upctv };

struct EnginePosition {
    EngineKind kind;
    int index;  // voice index within the engine, or UPCTV entry
};

// The position rule: p (-1 when nothing is selected) to engine and index.
EnginePosition PositionRule(int p, int mspVoiceCount, int sapiVoiceCount);
const char* EngineKindName(EngineKind kind);

}  // namespace brunzit

class TFormTTS : public QDialog, public brunzit::TextSpeaker {
    Q_OBJECT
public:
    // FormCreate: creates and lists the engines, loads UPCTV, restores the
    // stored voice and speed. The program settings file must already be open.
    TFormTTS(brunzit::SpeechEngines engines, TFormDiccionariExcepcions* dictionary,
             bool hideTestControls, QWidget* parent = nullptr);
    // FormDestroy: unloads the UPCTV library; the engines are released.
    ~TFormTTS() override;

    void SpeakText(const std::string& text) override;
    void StopSpeaking() override;
    void ApplyRate();
    void ListBoxMotorsDeVeuClick();

    // Event handlers of the controls.
    void ButtonParlarClick();
    void ButtonCallaClick();
    void BitBtnTancarClick();
    void CheckBoxDicExcClick();
    void CheckBoxDicExcMouseUp();
    void tbRateChange();
    void TimerTreureFinestraUPCTVTimer();

    // Controls, in tab order.
    QListWidget* ListBoxMotorsDeVeu = nullptr;
    QPushButton* ButtonParlar = nullptr;
    QPushButton* ButtonWav = nullptr;
    QLineEdit* EditText = nullptr;
    QPushButton* BitBtnTancar = nullptr;
    QPushButton* ButtonCalla = nullptr;
    QCheckBox* CheckBoxDicExc = nullptr;
    QSlider* tbRate = nullptr;
    QLabel* LabelVelocitat = nullptr;
    QLabel* lblRate = nullptr;
    QTimer* TimerTreureFinestraUPCTV = nullptr;

    // Service state.
    int MspVoiceCount = 0;
    int SapiVoiceCount = 0;
    bool MspAvailable = true;
    bool SapiAvailable = true;
    bool UpctvLoaded = false;
    int CurrentUpctvVoice = -1;
    int DismissTicks = 0;
    bool HideTestControls = false;
    int OsMajorVersion = 0;

    static constexpr int kWidth = 694;
    static constexpr int kHeight = 385;

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void done(int result) override;              // FormClose, however the window closes
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    void BuildControls();
    void ListEngine(std::unique_ptr<brunzit::VoiceEngine>& engine, int& count, bool& available,
                    const std::string& prefix);
    int SelectedPosition() const;
    brunzit::EnginePosition CurrentPosition() const;
    brunzit::VoiceEngine* VoiceFor(brunzit::EngineKind kind) const;
    void SetUpUpctvEntry(int entry);
    // Writes to "mussol.ini"; a failure is shown as an error box.
    bool WriteMussol(const std::string& key, const std::string& value);
    void SelectWithoutClick(int row);

    TFormDiccionariExcepcions* dictionary_;
    std::unique_ptr<brunzit::VoiceEngine> MspVoice;
    std::unique_ptr<brunzit::VoiceEngine> SapiVoice;
    brunzit::UpctvBinding upctv_;
    brunzit::ProfileFile mussol_;
    bool rowChangedSincePress_ = false;
};
