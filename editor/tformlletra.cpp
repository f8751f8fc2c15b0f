#include "editor/tformlletra.h"

#include <QCloseEvent>
#include <QFontDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "editor/fontcolour.h"
#include "platform/cp1252.h"
#include "platform/windowing.h"

namespace {

constexpr QSize OuterSize(589, 391);

QString fromCp1252(const char* text) {
    return QString::fromUtf8(brunzit::cp1252ToUtf8(text));
}

}  // namespace

TFormLletra::TFormLletra(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FormLletra"));
    setWindowTitle(QStringLiteral("Lletra"));
    setAccessibleName(QStringLiteral("Lletra"));
    // Closing it only hides it, and it must never end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Keystrokes keep going to the editor while the letter is shown.
    setAttribute(Qt::WA_ShowWithoutActivating, true);

    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    setAutoFillBackground(true);

    LabelLletra = new QLabel(QStringLiteral("A"), this);
    LabelLletra->setObjectName(QStringLiteral("LabelLletra"));
    // No fixed name: a screen reader reads the letter shown.
    LabelLletra->setAccessibleDescription(QStringLiteral("Lletra que es diu"));
    LabelLletra->setAlignment(Qt::AlignCenter);
    LabelLletra->setToolTip(fromCp1252("Clicar aqu\xED per canviar la font d'aquesta lletra"));
    LabelLletra->setCursor(Qt::PointingHandCursor);
    FontLletra = brunzit::initialLetterFont();
    LabelLletra->setFont(FontLletra.font);
    brunzit::setTextColour(LabelLletra, brunzit::colourOf(FontLletra.colour, palette()));
    LabelLletra->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(LabelLletra);

    resize(OuterSize);
    CentreOnScreen();
}

void TFormLletra::SetMainWindow(QWidget* mainWindow) {
    mainWindow_ = mainWindow;
}

void TFormLletra::ShowText(const QString& text) {
    LabelLletra->setText(text);
    if (isHidden())
        show();
}

void TFormLletra::ApplyLetterFont(const brunzit::FontChoice& choice) {
    FontLletra = choice;
    brunzit::applyFontChoice(LabelLletra, choice);
}

QFontDialog* TFormLletra::FontDialogLletraInstance() {
    if (!fontDialogLletra_) {
        fontDialogLletra_ = new QFontDialog(this);
        fontDialogLletra_->setObjectName(QStringLiteral("FontDialogLletra"));
        fontDialogLletra_->setAccessibleName(QStringLiteral("Font de la lletra"));
        brunzit::prepareFontDialog(fontDialogLletra_, FontLletra);
    }
    return fontDialogLletra_;
}

void TFormLletra::CentreOnScreen() {
    QScreen* where = screen();
    if (!where)
        return;
    const QRect area = where->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void TFormLletra::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (outerSizeFitted_)
        return;
    // The title bar and borders are known only some time after the window is
    // mapped; then the whole window, frame included, is made 589 x 391.
    for (const int delay : {0, 100, 500}) {
        QTimer::singleShot(delay, this, [this] {
            const QSize frame = frameGeometry().size() - geometry().size();
            if (outerSizeFitted_ || frame == QSize(0, 0))
                return;
            outerSizeFitted_ = true;
            resize(OuterSize - frame);
            CentreOnScreen();
        });
    }
}

void TFormLletra::closeEvent(QCloseEvent* event) {
    // The base class hides the window; the main window unticks its option.
    // The program itself only ever hides this window, so every close is the
    // user's (title bar, window manager).
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit ClosedByTitleBar();
}

bool TFormLletra::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelLletra && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && LabelLletra->rect().contains(mouse->position().toPoint())) {
            LabelLletraClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormLletra::LabelLletraClick() {
    if (brunzit::runFontDialog(FontDialogLletraInstance(), FontLletra))
        brunzit::applyFontChoice(LabelLletra, FontLletra);
    if (mainWindow_)
        brunzit::bringToFront(mainWindow_);
}
