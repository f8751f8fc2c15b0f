#pragma once
// The speech settings window over the speech service: the voice list, the
// speed, the try-out controls and the dictionary switch. Every handler hands
// its work to the service; the window only shows the service's state.

#include <QDialog>
#include <string>

#include "speech/speechservice.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class TFormDiccionariExcepcions;

class TFormTTS : public QDialog {
    Q_OBJECT
public:
    // FormCreate: shows the service's voices, choice and speed.
    TFormTTS(brunzit::SpeechService& service, TFormDiccionariExcepcions* dictionary, bool hideTestControls,
             QWidget* parent = nullptr);
    ~TFormTTS() override;

    void ApplyRate();
    void ListBoxMotorsDeVeuClick();

    // Event handlers of the controls.
    void ButtonParlarClick();
    void ButtonCallaClick();
    void BitBtnTancarClick();
    void CheckBoxDicExcClick();
    void CheckBoxDicExcMouseUp();
    void tbRateChange();

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

    bool HideTestControls = false;

    static constexpr int kWidth = 694;
    static constexpr int kHeight = 385;

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void done(int result) override;              // FormClose, however the window closes
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    void BuildControls();
    void SelectWithoutClick(int row);
    void ShowRate();
    void SayCurrentEntry();

    brunzit::SpeechService& service_;
    TFormDiccionariExcepcions* dictionary_;
    bool rowChangedSincePress_ = false;
};
