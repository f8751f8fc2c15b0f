#include "app/taboutbox.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/cp1252.h"

namespace {

QString fromCp1252(const char* text) { return QString::fromStdString(brunzit::cp1252ToUtf8(text)); }

// The pictures: the signs the user writes with, drawn as large letters.
const char* const kPictures[] = {"A", "B", "C", "\xC7", "\xD1", "1", "2", "3", "+", "="};
constexpr int kPictureCount = sizeof(kPictures) / sizeof(kPictures[0]);

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(fromCp1252("Parlant de..."));
    setAccessibleName(windowTitle());

    LabelImatge = new QLabel(this);
    LabelImatge->setAlignment(Qt::AlignCenter);
    LabelImatge->setMinimumSize(160, 120);
    QFont pictureFont(QStringLiteral("Arial"));
    pictureFont.setPixelSize(96);
    pictureFont.setBold(true);
    LabelImatge->setFont(pictureFont);
    LabelImatge->setAccessibleName(QStringLiteral("Imatge"));

    LabelNom = new QLabel(QStringLiteral("brunzit"), this);
    QFont nameFont(QStringLiteral("Arial"));
    nameFont.setPixelSize(32);
    nameFont.setBold(true);
    LabelNom->setFont(nameFont);
    LabelNom->setAlignment(Qt::AlignCenter);
    LabelNom->setAccessibleName(QStringLiteral("Nom"));

    LabelVersio = new QLabel(fromCp1252("Versi\xF3 ") + QStringLiteral(BRUNZIT_VERSION), this);
    LabelVersio->setAlignment(Qt::AlignCenter);
    LabelVersio->setAccessibleName(fromCp1252("Versi\xF3"));

    LabelCredits = new QLabel(
        fromCp1252("Editor parlant per escriure triant tecles.\n"
                   "Per a persones amb discapacitat f\xED" "sica o poca visi\xF3.\n"
                   "Calculadora parlant i biblioteca Abaco32."),
        this);
    LabelCredits->setAlignment(Qt::AlignCenter);
    LabelCredits->setToolTip(fromCp1252("Fet amb Qt, eSpeak NG i Speech Dispatcher"));
    LabelCredits->setAccessibleName(fromCp1252("Cr\xE8" "dits"));

    ButtonOK = new QPushButton(QStringLiteral("D'acord"), this);
    ButtonOK->setDefault(true);
    ButtonOK->setAccessibleName(QStringLiteral("D'acord"));
    connect(ButtonOK, &QPushButton::clicked, this, &TAboutBox::ButtonOKClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelImatge);
    layout->addWidget(LabelNom);
    layout->addWidget(LabelVersio);
    layout->addWidget(LabelCredits);
    layout->addWidget(ButtonOK, 0, Qt::AlignCenter);

    TimerImatges = new QTimer(this);
    TimerImatges->setInterval(700);
    connect(TimerImatges, &QTimer::timeout, this, &TAboutBox::TimerImatgesTimer);
    TimerCredits = new QTimer(this);
    TimerCredits->setInterval(1500);
    connect(TimerCredits, &QTimer::timeout, this, &TAboutBox::TimerCreditsTimer);

    TimerImatgesTimer();
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    TimerImatges->start();
    TimerCredits->start();
}

void TAboutBox::hideEvent(QHideEvent* event)
{
    TimerImatges->stop();
    TimerCredits->stop();
    QDialog::hideEvent(event);
}

void TAboutBox::TimerImatgesTimer()
{
    LabelImatge->setText(fromCp1252(kPictures[pictureIndex_]));
    pictureIndex_ = (pictureIndex_ + 1) % kPictureCount;
}

void TAboutBox::TimerCreditsTimer()
{
    creditsHighlighted_ = !creditsHighlighted_;
    LabelCredits->setStyleSheet(creditsHighlighted_ ? QStringLiteral("color: #8b0000;") : QString());
}

void TAboutBox::ButtonOKClick() { accept(); }
