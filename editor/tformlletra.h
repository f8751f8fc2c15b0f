#pragma once
// The large-letter window: the letter or sign being said, in a very large
// font, always on top of other windows.

#include <QWidget>

class QLabel;
class QFontDialog;

class TFormLletra : public QWidget {
    Q_OBJECT
public:
    explicit TFormLletra(QWidget* parent = nullptr);

    // The window that gets the focus back after the letter's font dialog.
    void SetMainWindow(QWidget* mainWindow);

    QLabel* LabelLletra = nullptr;
    QFontDialog* FontDialogLletra = nullptr;

Q_SIGNALS:
    // Closed by its title bar: the main window unticks its option.
    void ClosedByTitleBar();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LabelLletraClick();
    QWidget* mainWindow_ = nullptr;
};
