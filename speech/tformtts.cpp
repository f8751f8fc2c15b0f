#include "speech/tformtts.h"

#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyledItemDelegate>

#include "platform/cp1252.h"
#include "speech/tformdiccionariexcepcions.h"

using namespace brunzit;

namespace {

QString FromCp1252(const std::string& text) {
    return QString::fromStdString(cp1252ToUtf8(text));
}

std::string ToCp1252(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

// Entries of the voice list are 25 pixels high, whatever the font gives.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(25);
        return size;
    }
};

QFont PixelFont(const char* family, int pixels, bool bold = false) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

TFormTTS::TFormTTS(SpeechService& service, TFormDiccionariExcepcions* dictionary, bool hideTestControls,
                   QWidget* parent)
    : QDialog(parent), HideTestControls(hideTestControls), service_(service), dictionary_(dictionary) {
    BuildControls();

    for (const std::string& entry : service_.Entries()) ListBoxMotorsDeVeu->addItem(FromCp1252(entry));
    if (!service_.Available(EngineKind::Msp) && !service_.Available(EngineKind::Sapi)) {
        ButtonParlar->setEnabled(false);
        ButtonWav->setEnabled(false);
    }
    SelectWithoutClick(service_.Position());
    if (!service_.AnyVoiceListed()) {
        ButtonParlar->hide();
        ButtonCalla->hide();
        ButtonWav->hide();
    }

    if (HideTestControls) {
        ButtonParlar->hide();
        ButtonCalla->hide();
        ButtonWav->hide();
        EditText->hide();
        ListBoxMotorsDeVeu->resize(ListBoxMotorsDeVeu->width(), ListBoxMotorsDeVeu->height() + 100);
    }

    {
        const QSignalBlocker blocker(tbRate);
        tbRate->setValue(service_.Rate());
    }
    ShowRate();
}

TFormTTS::~TFormTTS() = default;

void TFormTTS::BuildControls() {
    setWindowTitle(QStringLiteral("TTS - Projecte Remor 2016"));
    setFont(PixelFont("MS Sans Serif", 11));
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }

    auto name = [](QWidget* control, const char* objectName, const QString& accessible) {
        control->setObjectName(QString::fromLatin1(objectName));
        control->setAccessibleName(accessible);
    };

    ListBoxMotorsDeVeu = new QListWidget(this);
    ListBoxMotorsDeVeu->setGeometry(8, 24, 632, 193);
    ListBoxMotorsDeVeu->setFont(PixelFont("Segoe UI Semibold", 19));
    ListBoxMotorsDeVeu->setUniformItemSizes(true);
    ListBoxMotorsDeVeu->setItemDelegate(new FixedHeightDelegate(ListBoxMotorsDeVeu));
    ListBoxMotorsDeVeu->setSelectionMode(QAbstractItemView::SingleSelection);
    name(ListBoxMotorsDeVeu, "ListBoxMotorsDeVeu", QStringLiteral("Motors de veu"));

    ButtonParlar = new QPushButton(QStringLiteral("Parla"), this);
    ButtonParlar->setGeometry(24, 246, 81, 41);
    name(ButtonParlar, "ButtonParlar", QStringLiteral("Parla"));

    ButtonWav = new QPushButton(QStringLiteral("Crear wav"), this);
    ButtonWav->setGeometry(551, 246, 73, 41);
    name(ButtonWav, "ButtonWav", QStringLiteral("Crear wav"));

    EditText = new QLineEdit(
        FromCp1252("Hola mundo. Estoy muy contento de estar aqu\xED. Deseo que seais muy felices."), this);
    EditText->setGeometry(120, 246, 417, 51);
    name(EditText, "EditText", QStringLiteral("Text de prova"));

    BitBtnTancar = new QPushButton(QStringLiteral("D'acord"), this);
    BitBtnTancar->setGeometry(80, 336, 121, 41);
    BitBtnTancar->setDefault(true);
    name(BitBtnTancar, "BitBtnTancar", QStringLiteral("D'acord"));

    ButtonCalla = new QPushButton(QStringLiteral("Calla"), this);
    ButtonCalla->setGeometry(24, 296, 81, 41);
    name(ButtonCalla, "ButtonCalla", QStringLiteral("Calla"));

    CheckBoxDicExc = new QCheckBox(QStringLiteral("Utilitzar diccionari d'excepcions"), this);
    CheckBoxDicExc->setGeometry(296, 352, 329, 17);
    CheckBoxDicExc->setFont(PixelFont("Segoe UI Semibold", 16, true));
    name(CheckBoxDicExc, "CheckBoxDicExc", QStringLiteral("Utilitzar diccionari d'excepcions"));

    tbRate = new QSlider(Qt::Vertical, this);
    tbRate->setGeometry(648, 32, 33, 209);
    tbRate->setRange(-10, 10);
    tbRate->setSingleStep(1);
    tbRate->setPageStep(1);
    tbRate->setTickInterval(1);
    tbRate->setTickPosition(QSlider::TicksRight);
    // Minimum at the top, and the Up key moves the thumb up.
    tbRate->setInvertedAppearance(true);
    tbRate->setInvertedControls(true);
    tbRate->setValue(0);
    name(tbRate, "tbRate", QStringLiteral("Velocitat"));

    LabelVelocitat = new QLabel(QStringLiteral("Speed:"), this);
    LabelVelocitat->move(643, 12);
    LabelVelocitat->adjustSize();
    name(LabelVelocitat, "LabelVelocitat", QStringLiteral("Speed:"));

    lblRate = new QLabel(QStringLiteral("0"), this);
    lblRate->move(664, 252);
    lblRate->adjustSize();
    name(lblRate, "lblRate", QStringLiteral("Velocitat actual"));

    setTabOrder(ListBoxMotorsDeVeu, ButtonParlar);
    setTabOrder(ButtonParlar, ButtonWav);
    setTabOrder(ButtonWav, EditText);
    setTabOrder(EditText, BitBtnTancar);
    setTabOrder(BitBtnTancar, ButtonCalla);
    setTabOrder(ButtonCalla, CheckBoxDicExc);
    setTabOrder(CheckBoxDicExc, tbRate);

    // A selection changed by the user (mouse or arrow keys), or a click on
    // the entry already selected, chooses the voice; selections made by the
    // program block the signal.
    connect(ListBoxMotorsDeVeu, &QListWidget::currentRowChanged, this, [this](int) {
        rowChangedSincePress_ = true;
        ListBoxMotorsDeVeuClick();
        SayCurrentEntry();
    });
    connect(ListBoxMotorsDeVeu, &QListWidget::itemClicked, this, [this](QListWidgetItem*) {
        if (!rowChangedSincePress_) ListBoxMotorsDeVeuClick();
    });
    ListBoxMotorsDeVeu->viewport()->installEventFilter(this);
    // A click below the entries clears the view's selection but keeps the
    // current row, which is the chosen voice: show it selected again.
    connect(ListBoxMotorsDeVeu, &QListWidget::itemSelectionChanged, this, [this] {
        QListWidgetItem* current = ListBoxMotorsDeVeu->currentItem();
        if (current && !current->isSelected()) {
            const QSignalBlocker blocker(ListBoxMotorsDeVeu);
            current->setSelected(true);
        }
    });

    connect(ButtonParlar, &QPushButton::clicked, this, &TFormTTS::ButtonParlarClick);
    connect(ButtonCalla, &QPushButton::clicked, this, &TFormTTS::ButtonCallaClick);
    connect(BitBtnTancar, &QPushButton::clicked, this, &TFormTTS::BitBtnTancarClick);
    connect(CheckBoxDicExc, &QCheckBox::clicked, this, &TFormTTS::CheckBoxDicExcClick);
    CheckBoxDicExc->installEventFilter(this);
    connect(tbRate, &QSlider::valueChanged, this, &TFormTTS::tbRateChange);
}

void TFormTTS::SelectWithoutClick(int row) {
    const QSignalBlocker blocker(ListBoxMotorsDeVeu);
    if (row >= 0 && row < ListBoxMotorsDeVeu->count()) {
        ListBoxMotorsDeVeu->setCurrentRow(row);
    } else {
        ListBoxMotorsDeVeu->setCurrentRow(-1);
        ListBoxMotorsDeVeu->clearSelection();
    }
}

void TFormTTS::ShowRate() {
    lblRate->setText(FromCp1252(service_.RateText()));
    lblRate->adjustSize();
}

// The list allows one selection, and the current row is that selection (it
// changes before the selection does while a click is handled).
void TFormTTS::ListBoxMotorsDeVeuClick() {
    service_.Choose(ListBoxMotorsDeVeu->currentRow());
    ShowRate();
}

void TFormTTS::SayCurrentEntry() {
    // In the voice just chosen: a user who cannot see hears each voice as
    // it is reached, and what it says is its own entry.
    const int row = ListBoxMotorsDeVeu->currentRow();
    if (row < 0 || row >= static_cast<int>(service_.Entries().size())) return;
    service_.StopSpeaking();
    service_.SpeakText(service_.Entries()[static_cast<std::size_t>(row)]);
}

void TFormTTS::ApplyRate() {
    service_.ApplyRate();
    ShowRate();
}

void TFormTTS::FormClose() {
    service_.StoreOnClose();
}

void TFormTTS::ButtonParlarClick() {
    service_.SpeakText(ToCp1252(EditText->text()));
}

void TFormTTS::ButtonCallaClick() {
    service_.StopSpeaking();
}

void TFormTTS::BitBtnTancarClick() {
    accept();
}

void TFormTTS::CheckBoxDicExcClick() {
    // The dictionary is switched by CheckBoxDicExcMouseUp only: the box's
    // state changed from the keyboard does not load or unload anything.
}

void TFormTTS::CheckBoxDicExcMouseUp() {
    if (!dictionary_) return;
    dictionary_->SetDictionaryEnabled(false);
    if (CheckBoxDicExc->isChecked()) {
        const bool enabled = dictionary_->ChooseDictionary();
        const QSignalBlocker blocker(CheckBoxDicExc);
        CheckBoxDicExc->setChecked(enabled);
    }
}

void TFormTTS::tbRateChange() {
    service_.SetRate(tbRate->value());
    ShowRate();
}

void TFormTTS::showEvent(QShowEvent* event) {
    if (dictionary_) {
        const QSignalBlocker blocker(CheckBoxDicExc);
        CheckBoxDicExc->setChecked(dictionary_->DictionaryEnabled());
    }
    QDialog::showEvent(event);
}

void TFormTTS::done(int result) {
    if (isVisible()) FormClose();
    QDialog::done(result);
}

bool TFormTTS::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBoxMotorsDeVeu->viewport() && event->type() == QEvent::MouseButtonPress) {
        rowChangedSincePress_ = false;
    } else if (watched == CheckBoxDicExc && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The handler reads the box's new state: let the box take the click
        // first, then switch the dictionary.
        static_cast<QObject*>(CheckBoxDicExc)->event(event);
        CheckBoxDicExcMouseUp();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
