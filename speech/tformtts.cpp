#include "speech/tformtts.h"

#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTimer>

#include <charconv>

#include "platform/cp1252.h"
#include "platform/paths.h"
#include "platform/windowing.h"
#include "speech/tformdiccionariexcepcions.h"
#include "speech/unitfileini.h"
#include "speech/unitfindawindow.h"

using namespace brunzit;

namespace brunzit {

EnginePosition PositionRule(int p, int mspVoiceCount, int sapiVoiceCount) {
    if (p < mspVoiceCount) return {EngineKind::Msp, p};
    if (p < mspVoiceCount + sapiVoiceCount) return {EngineKind::Sapi, p - mspVoiceCount};
    return {EngineKind::Upctv, p - mspVoiceCount - sapiVoiceCount};
}

const char* EngineKindName(EngineKind kind) {
    switch (kind) {
    case EngineKind::Msp: return "MSP";
    case EngineKind::Sapi: return "SAPI";
    case EngineKind::Upctv: return "UPCTV";
    }
    return "";
}

}  // namespace brunzit

namespace {

const char* const kSection = "tts";
const char* const kMussolSection = "tts to Wav";
const char* const kKeyNumber = "Numero sintetitzador";
const char* const kKeySpeed = "velocitat";
const char* const kKeyReading = "ESTIC LLEGINT";
const char* const kKeyType = "Tipus de sintetitzador";
const char* const kKeyIndex = "Sintetitzador";
const char* const kKeyWavSpeed = "SPEED";

// The engine's own window, which it opens when it is loaded on newer systems.
const char* const kUpctvWindowTitle = "upcTV 1.0 - Lector de text en catal\xE0 i castell\xE0";

const char* const kUpctvEntries[] = {
    "UPCTV - Home - Catal\xE0",
    "UPCTV - Dona - Catal\xE0",
    "UPCTV - Hombre - Espa\xF1ol",
    "UPCTV - Mujer - Espa\xF1ol",
};

QString FromCp1252(const std::string& text) {
    return QString::fromStdString(cp1252ToUtf8(text));
}

std::string ToCp1252(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

// A whole decimal number with an optional sign, nothing else.
bool ParseInteger(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
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

TFormTTS::TFormTTS(SpeechEngines engines, TFormDiccionariExcepcions* dictionary, bool hideTestControls,
                   QWidget* parent)
    : QDialog(parent),
      HideTestControls(hideTestControls),
      dictionary_(dictionary),
      upctv_(engines.upctvLibrary),
      mussol_(engines.mussolIniPath.empty() ? mussolSettingsPath() : engines.mussolIniPath) {
    BuildControls();

    OsMajorVersion = osMajorVersion();
    const std::string storedVoice = ReadIniString(kSection, kKeyNumber, "-1");

    if (engines.createMsp) MspVoice = engines.createMsp();
    ListEngine(MspVoice, MspVoiceCount, MspAvailable, "");
    if (engines.createSapi) SapiVoice = engines.createSapi();
    ListEngine(SapiVoice, SapiVoiceCount, SapiAvailable, "SAPI - ");
    if (!MspAvailable && !SapiAvailable) {
        ButtonParlar->setEnabled(false);
        ButtonWav->setEnabled(false);
    }

    // Started before the load: the engine opens its window while loading.
    if (OsMajorVersion >= 6) {
        DismissTicks = 0;
        TimerTreureFinestraUPCTV->start();
    }
    if (upctv_.LoadUpctvLibrary()) {
        for (const char* entry : kUpctvEntries) {
            ListBoxMotorsDeVeu->addItem(FromCp1252(entry));
        }
        UpctvLoaded = true;
    }

    if (MspVoiceCount > 0 || SapiVoiceCount > 0 || UpctvLoaded) {
        int stored = 0;
        if (ParseInteger(storedVoice, stored)) {
            if (stored < 0) {
                SelectWithoutClick(0);
            } else {
                SelectWithoutClick(stored);
                ListBoxMotorsDeVeuClick();
            }
        }
    } else {
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

    const std::string storedSpeed = ReadIniString(kSection, kKeySpeed, "0");
    lblRate->setText(FromCp1252(storedSpeed));
    lblRate->adjustSize();
    int speed = 0;
    if (!ParseInteger(storedSpeed, speed)) {
        // The speed stays 0 and the label keeps the stored text, which the
        // next close writes back unchanged.
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("'%1' is not a valid integer value").arg(FromCp1252(storedSpeed)));
        return;
    }
    {
        const QSignalBlocker blocker(tbRate);
        tbRate->setValue(speed);  // the track bar keeps it within -10..10
    }
    ApplyRate();
}

TFormTTS::~TFormTTS() {
    upctv_.FreeUpctvLibrary();
}

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

    TimerTreureFinestraUPCTV = new QTimer(this);
    TimerTreureFinestraUPCTV->setObjectName(QStringLiteral("TimerTreureFinestraUPCTV"));
    TimerTreureFinestraUPCTV->setInterval(200);

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
    connect(TimerTreureFinestraUPCTV, &QTimer::timeout, this, &TFormTTS::TimerTreureFinestraUPCTVTimer);
}

void TFormTTS::ListEngine(std::unique_ptr<VoiceEngine>& engine, int& count, bool& available,
                          const std::string& prefix) {
    if (!engine || !engine->isAvailable()) {
        engine.reset();  // every later call is skipped, as on an empty object
        available = false;
        return;
    }
    const int voices = engine->voiceCount();
    if (voices < 0) {
        available = false;
        return;
    }
    count = voices;
    for (int i = 0; i < voices; ++i) {
        const std::string description = engine->voiceDescription(i);
        if (description.empty()) {
            // Keep the count equal to the entries listed, so the positions
            // after them still map to their own engine.
            count = i;
            available = false;
            return;
        }
        ListBoxMotorsDeVeu->addItem(FromCp1252(prefix + description));
    }
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

// The list allows one selection, and the current row is that selection (it
// changes before the selection does while a click is handled).
int TFormTTS::SelectedPosition() const {
    return ListBoxMotorsDeVeu->currentRow();
}

EnginePosition TFormTTS::CurrentPosition() const {
    return PositionRule(SelectedPosition(), MspVoiceCount, SapiVoiceCount);
}

VoiceEngine* TFormTTS::VoiceFor(EngineKind kind) const {
    switch (kind) {
    case EngineKind::Msp: return MspVoice.get();
    case EngineKind::Sapi: return SapiVoice.get();
    case EngineKind::Upctv: return nullptr;
    }
    return nullptr;
}

bool TFormTTS::WriteMussol(const std::string& key, const std::string& value) {
    if (mussol_.write(kMussolSection, key, value)) return true;
    QMessageBox::critical(this, windowTitle(),
                          QStringLiteral("Unable to write to %1").arg(QString::fromStdString(mussol_.path())));
    return false;
}

void TFormTTS::SpeakText(const std::string& text) {
    std::string spoken = text;
    if (dictionary_) dictionary_->ApplyExceptions(spoken);
    const EnginePosition position = CurrentPosition();
    if (position.kind == EngineKind::Upctv) {
        upctv_.UpctvSpeak(spoken);
    } else if (VoiceEngine* voice = VoiceFor(position.kind)) {
        voice->speak(spoken);
    }
}

void TFormTTS::StopSpeaking() {
    const EnginePosition position = CurrentPosition();
    if (position.kind == EngineKind::Upctv) {
        upctv_.UpctvStop();
    } else if (VoiceEngine* voice = VoiceFor(position.kind)) {
        voice->skip();
    }
    WriteIniString(kSection, kKeyReading, "0");
}

void TFormTTS::ListBoxMotorsDeVeuClick() {
    const EnginePosition position = CurrentPosition();
    if (position.kind == EngineKind::Upctv) {
        if (UpctvLoaded) {
            if (!WriteMussol(kKeyType, "UPCTV")) return;
            SetUpUpctvEntry(position.index);
        }
    } else {
        if (!WriteMussol(kKeyType, EngineKindName(position.kind))) return;
        if (!WriteMussol(kKeyIndex, std::to_string(position.index))) return;
        // An index the engine does not have leaves its voice as it was.
        if (VoiceEngine* voice = VoiceFor(position.kind)) voice->chooseVoice(position.index);
    }
    ApplyRate();
}

void TFormTTS::SetUpUpctvEntry(int entry) {
    if (OsMajorVersion >= 6) {
        DismissTicks = 0;
        TimerTreureFinestraUPCTV->start();
    }
    if (entry == CurrentUpctvVoice) return;
    switch (entry) {
    case 0: upctv_.SetUpctvMaleVoice("catala"); break;
    case 1: upctv_.SetUpctvFemaleVoice("catala"); break;
    case 2: upctv_.SetUpctvMaleVoice("castella"); break;
    case 3: upctv_.SetUpctvFemaleVoice("castella"); break;
    default: return;
    }
    CurrentUpctvVoice = entry;
}

void TFormTTS::ApplyRate() {
    const int rate = tbRate->value();
    const EnginePosition position = CurrentPosition();
    if (position.kind == EngineKind::Upctv) {
        if (upctv_.isLoaded()) upctv_.SetUpctvSpeed(UpctvSpeedFromRate(rate));
    } else if (VoiceEngine* voice = VoiceFor(position.kind)) {
        voice->setRate(rate);
    }
    lblRate->setText(QString::number(rate));
    lblRate->adjustSize();
    WriteMussol(kKeyWavSpeed, std::to_string(rate));
}

void TFormTTS::FormClose() {
    if (MspVoiceCount > 0 || SapiVoiceCount > 0 || UpctvLoaded) {
        const int p = SelectedPosition();
        WriteIniString(kSection, kKeyNumber, std::to_string(p));
        const EnginePosition position = PositionRule(p, MspVoiceCount, SapiVoiceCount);
        // A failure here is reported, and the speed below is still stored.
        if (position.kind != EngineKind::Upctv || UpctvLoaded) {
            WriteMussol(kKeyType, EngineKindName(position.kind));
        }
    }
    WriteIniString(kSection, kKeySpeed, ToCp1252(lblRate->text()));
}

void TFormTTS::ButtonParlarClick() {
    SpeakText(ToCp1252(EditText->text()));
}

void TFormTTS::ButtonCallaClick() {
    StopSpeaking();
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
    ApplyRate();
}

void TFormTTS::TimerTreureFinestraUPCTVTimer() {
    if (const WindowHandle window = FindAWindow(kUpctvWindowTitle, "")) {
        PressReturnOnWindow(window);
    }
    ++DismissTicks;
    if (DismissTicks > 20) TimerTreureFinestraUPCTV->stop();
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
