#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include "editor/fontcolour.h"
#include "editor/tformlletra.h"
#include "tests/keeping/qtprinters.h"

namespace {

void clickLetter(TFormLletra& window) {
    QTest::mouseClick(window.LabelLletra, Qt::LeftButton, {}, window.LabelLletra->rect().center());
}

// Answers the font dialog that the next click opens.
void answerFontDialog(TFormLletra& window, const QFont& font, bool confirm) {
    QTimer::singleShot(0, &window, [&window, font, confirm] {
        QFontDialog* dialog = window.FontDialogLletraInstance();
        ASSERT_TRUE(dialog->isVisible());
        dialog->setCurrentFont(font);
        if (confirm)
            dialog->accept();
        else
            dialog->reject();
    });
}

TEST(TFormLletra, StartsAsTheLargeLetterWindow) {
    TFormLletra window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Lletra"));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(window.frameGeometry().size(), QSize(589, 391));
    EXPECT_EQ(window.frameGeometry().center(), window.screen()->availableGeometry().center());

    const QLabel* letter = window.LabelLletra;
    EXPECT_EQ(letter->text(), QStringLiteral("A"));
    EXPECT_EQ(letter->alignment(), Qt::AlignCenter);
    EXPECT_EQ(letter->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(letter->font().pixelSize(), 267);
    EXPECT_TRUE(letter->font().bold());
    EXPECT_EQ(letter->palette().color(QPalette::WindowText),
              QGuiApplication::palette().color(QPalette::WindowText));
    EXPECT_EQ(letter->toolTip(), QString::fromUtf16(u"Clicar aqu\u00ed per canviar la font d'aquesta lletra"));

    // The dialog's choice is a copy of the letter's font, with the system
    // colour; the dialog itself is made when first used, starting from it.
    EXPECT_EQ(window.FontLletra, brunzit::initialLetterFont());
    EXPECT_TRUE(window.findChildren<QFontDialog*>().isEmpty());
    QFontDialog* dialog = window.FontDialogLletraInstance();
    EXPECT_EQ(brunzit::fontChoiceOf(dialog), brunzit::initialLetterFont());
    EXPECT_TRUE(dialog->testOption(QFontDialog::DontUseNativeDialog));
    EXPECT_EQ(window.FontDialogLletraInstance(), dialog);
}

TEST(TFormLletra, ClosingHidesAndUnticks) {
    TFormLletra window;
    QSignalSpy closed(&window, &TFormLletra::ClosedByTitleBar);
    window.ShowText(QStringLiteral("B"));
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.LabelLletra->text(), QStringLiteral("B"));

    // As the window system closes it when the title bar's button is clicked.
    ASSERT_TRUE(window.windowHandle());
    EXPECT_TRUE(window.windowHandle()->close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(closed.count(), 1);

    // Hiding it from the program is not the user's close.
    window.ShowText(QStringLiteral("C"));
    window.hide();
    EXPECT_EQ(closed.count(), 1);

    // It lives on: the next letter shows it again.
    window.ShowText(QStringLiteral("D"));
    EXPECT_TRUE(window.isVisible());
}

TEST(TFormLletra, FontDialogConfirmedOrCancelled) {
    struct Case {
        const char* name;
        bool confirm;
        bool letterChanges;
    };
    const Case cases[] = {
        {"confirmed", true, true},
        {"cancelled", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget mainWindow;
        mainWindow.show();
        TFormLletra window;
        window.SetMainWindow(&mainWindow);
        window.ShowText(QStringLiteral("Q"));
        window.activateWindow();

        const QFont before = window.LabelLletra->font();
        // The dialog offers only installed families.
        const QString family = QStringLiteral("DejaVu Serif");
        ASSERT_TRUE(QFontDatabase::hasFamily(family));
        QFont chosen(family, 40);
        chosen.setItalic(true);
        answerFontDialog(window, chosen, c.confirm);
        clickLetter(window);

        const QFont after = window.LabelLletra->font();
        if (c.letterChanges) {
            EXPECT_EQ(after.family(), family);
            EXPECT_TRUE(after.italic());
            EXPECT_EQ(after.pointSize(), 40);
            EXPECT_EQ(window.FontLletra.font.family(), family);
        } else {
            EXPECT_EQ(after, before);
            EXPECT_EQ(window.FontLletra, brunzit::initialLetterFont());
        }
        // Either way the main window gets the keyboard back.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&mainWindow, 1000));
    }
}

TEST(TFormLletra, ChosenColourReplacesTheSchemeColour) {
    TFormLletra window;
    brunzit::setTextColour(window.LabelLletra, Qt::white);  // as the dark scheme leaves it
    brunzit::FontChoice green = brunzit::initialLetterFont();
    green.colour = 0x00008000;
    window.FontLletra = green;
    answerFontDialog(window, green.font, true);
    clickLetter(window);
    EXPECT_EQ(window.LabelLletra->palette().color(QPalette::WindowText), QColor(0, 128, 0));
}

}  // namespace
