#pragma once
// The About window: program name, version and credits. It also serves as the
// two-second splash at start-up.

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* LabelNom = nullptr;
    QLabel* LabelVersio = nullptr;
    QLabel* LabelCredits = nullptr;
    QLabel* LabelImatge = nullptr;
    QPushButton* ButtonOK = nullptr;
    // The pictures cycle while the window is shown; the credits line blinks
    // its colour on a slower timer.
    QTimer* TimerImatges = nullptr;
    QTimer* TimerCredits = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void TimerImatgesTimer();
    void TimerCreditsTimer();
    void ButtonOKClick();

    int pictureIndex_ = 0;
    bool creditsHighlighted_ = false;
};
