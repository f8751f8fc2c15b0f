#pragma once
// The large-letter window: the letter or sign being said, in a very large
// font, always on top of other windows.

#include <QWidget>

#include "editor/fontcolour.h"

class QLabel;
class QFontDialog;

class TFormLletra : public QWidget {
    Q_OBJECT
public:
    explicit TFormLletra(QWidget* parent = nullptr);

    // The window that gets the focus back after the letter's font dialog.
    void SetMainWindow(QWidget* mainWindow);

    // Sets the letter and shows the window if it is hidden.
    void ShowText(const QString& text);
    // A stored font: into the dialog and onto the letter.
    void ApplyLetterFont(const brunzit::FontChoice& choice);

    QLabel* LabelLletra = nullptr;
    // The letter's font as its font dialog keeps it between uses and the
    // settings file stores it.
    brunzit::FontChoice FontLletra;
    // Made when first used: building it takes too long for start-up.
    QFontDialog* FontDialogLletraInstance();

Q_SIGNALS:
    // Closed by its title bar: the main window unticks its option.
    void ClosedByTitleBar();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LabelLletraClick();
    void CentreOnScreen();
    QWidget* mainWindow_ = nullptr;
    QFontDialog* fontDialogLletra_ = nullptr;
    bool outerSizeFitted_ = false;
};
