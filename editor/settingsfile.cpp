#include "editor/settingsfile.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

#include "platform/cp1252.h"
#include "platform/paths.h"

namespace brunzit {

namespace {

constexpr char LlenguaCatala[] = "Llengua Catal\xE0";
constexpr char TeclatVisible[] = "Teclat visible";
constexpr char VeureLaLletra[] = "Veure la lletra que es diu";
constexpr char LlegirLaLletraQueSEscriu[] = "Llegir la lletra que s'escriu";
constexpr char LlegirLaLletraActual[] = "Llegir la lletra actual";
constexpr char ControlDelCursor[] = "Control del cursor i Return per controlar el teclat";
constexpr char FonsNegre[] = "FONS NEGRE";
constexpr char TallarLaVeu[] = "Tallar la veu a cada tecla";
constexpr char TeclesAmbElClic[] = "Tecles esquerra i avall amb el clic";
constexpr char TotesLesLletres[] = "Totes les lletres";
constexpr char Minuscules[] = "Min\xFAscules";
constexpr char LletresPerFrequencia[] = "Lletres per freq\xFC\xE8ncia";
constexpr char LletresSegonsLaParaula[] = "Lletres segons la paraula";
constexpr char PrediccioDeParaules[] = "Predicci\xF3 de paraules";
constexpr char EscombratAutomatic[] = "Escombrat autom\xE0tic";
constexpr char IntervalEscombrat[] = "Interval de l'escombrat";
constexpr char TempsAcceptacio[] = "Temps d'acceptaci\xF3";
constexpr char TempsBloqueig[] = "Temps de bloqueig";
// No stored value can hold a line break: read back, it means "no key".
constexpr char Absent[] = "\n";

constexpr char Charset[] = "Charset";
constexpr char Color[] = "Color";
constexpr char Height[] = "Height";
constexpr char Name[] = "Name";
constexpr char Size[] = "Size";
constexpr char Negreta[] = "Negreta";
constexpr char Italica[] = "It\xE0lica";
constexpr char Subrratllat[] = "Subrratllat";
constexpr char Tatxat[] = "Tatxat";

// a * b / c rounded half away from zero, as the size conversions of the
// stored fonts have always been done.
int mulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    const long long q = product >= 0 ? (product + half) / c : -((-product + half) / c);
    return static_cast<int>(q);
}

const char* word(bool on) {
    return on ? YesWord : NoWord;
}

using Entries = std::vector<ProfileFile::Entry>;

std::mutex reportMutex;
SettingsFailureReport& failureReport() {
    static SettingsFailureReport report = [](const std::string& path) {
        // A box of the interface thread, over the active window.
        QMetaObject::invokeMethod(
            qApp,
            [path] {
                QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Brunzit"),
                                     SettingsFailureMessage(path));
            },
            Qt::QueuedConnection);
    };
    return report;
}
std::atomic<bool> failureReported{false};

// The user hears of the first failed write of a run; later ones are only logged.
void reportIfFailed(const std::string& path, bool ok) {
    if (ok || failureReported.exchange(true))
        return;
    std::lock_guard<std::mutex> guard(reportMutex);
    if (failureReport() && QCoreApplication::instance())
        failureReport()(path);
}

}  // namespace

QString SettingsFailureMessage(const std::string& path) {
    return QStringLiteral("No s'han pogut desar les opcions al fitxer %1: els canvis d'opcions "
                          "d'aquesta sessi\u00F3 es perdran en tancar el programa.")
        .arg(QString::fromStdString(path));
}

void SetSettingsFailureReport(SettingsFailureReport report) {
    std::lock_guard<std::mutex> guard(reportMutex);
    failureReport() = std::move(report);
    failureReported = false;
}

std::optional<std::int32_t> parseWholeNumber(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

int screenPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

int fontHeight(const QFont& font, int pixelsPerInch) {
    if (font.pixelSize() > 0)
        return -font.pixelSize();
    if (font.pointSizeF() > 0)
        return -static_cast<int>(std::lround(font.pointSizeF() * pixelsPerInch / 72.0));
    return 0;
}

int fontSize(const QFont& font, int pixelsPerInch) {
    return -mulDiv(fontHeight(font, pixelsPerInch), 72, pixelsPerInch);
}

SettingsFile::SettingsFile(std::string path, int pixelsPerInch)
    : file_(std::move(path)), pixelsPerInch_(pixelsPerInch > 0 ? pixelsPerInch : 96) {}

SettingsFile::SettingsFile() : SettingsFile(sharedSettingsPath(), screenPixelsPerInch()) {}

EditorOptions SettingsFile::ReadOptions() const {
    // Each key is compared with the one word that changes it; any other
    // value, lower-case "si" included, keeps the first-run state.
    const auto is = [this](const char* key, const char* defaultWord, const char* changingWord) {
        return file_.read(SettingsSection, key, defaultWord, SettingsValueBuffer) == changingWord;
    };
    EditorOptions options;
    options.catalan = !is(LlenguaCatala, YesWord, NoWord);
    options.keyboardVisible = is(TeclatVisible, NoWord, YesWord);
    options.showLetter = is(VeureLaLletra, NoWord, YesWord);
    options.speakTyped = !is(LlegirLaLletraQueSEscriu, YesWord, NoWord);
    options.speakCurrent = !is(LlegirLaLletraActual, YesWord, NoWord);
    options.cursorControl = !is(ControlDelCursor, YesWord, NoWord);
    options.darkColours = is(FonsNegre, NoWord, YesWord);
    options.cutSpeech = !is(TallarLaVeu, YesWord, NoWord);
    options.clickControl = is(TeclesAmbElClic, NoWord, YesWord);
    options.everyLetter = is(TotesLesLletres, NoWord, YesWord);
    options.lowercase = is(Minuscules, NoWord, YesWord);
    options.frequencyOrder = is(LletresPerFrequencia, NoWord, YesWord);
    options.wordOrder = is(LletresSegonsLaParaula, NoWord, YesWord);
    options.prediction = is(PrediccioDeParaules, NoWord, YesWord);
    options.autoScan = is(EscombratAutomatic, NoWord, YesWord);
    // A number out of its range keeps the default.
    const auto number = [this](const char* key, int& value, int low, int high) {
        const auto read = parseWholeNumber(file_.read(SettingsSection, key, "", SettingsValueBuffer));
        if (read && *read >= low && *read <= high)
            value = *read;
    };
    number(IntervalEscombrat, options.autoScanMs, MinAutoScanMs, MaxAutoScanMs);
    number(TempsAcceptacio, options.acceptanceMs, 0, 1000);
    number(TempsBloqueig, options.lockoutMs, 0, 3000);
    return options;
}

std::optional<FontChoice> SettingsFile::ReadFont(const char* section) const {
    // A value that is not a whole number counts as the key's default.
    const auto number = [&](const char* key, std::int32_t defaultValue) {
        const std::string text = file_.read(section, key, std::to_string(defaultValue), SettingsValueBuffer);
        return parseWholeNumber(text).value_or(defaultValue);
    };
    const auto flag = [&](const char* key) {
        return file_.read(section, key, "0", SettingsValueBuffer) == YesWord;
    };

    const std::int32_t charset = number(Charset, -1);
    if (charset == -1)
        return std::nullopt;

    FontChoice choice;
    choice.charset = charset;
    choice.colour = number(Color, 0);
    const int height = number(Height, 0);
    if (height != 0)
        choice.font.setPixelSize(std::abs(height));
    choice.font.setFamily(
        QString::fromUtf8(cp1252ToUtf8(file_.read(section, Name, "0", SettingsValueBuffer))));
    // The size is set after the height, so the size decides; size 0 is the
    // platform's default size.
    const int size = number(Size, 0);
    if (size != 0) {
        choice.font.setPixelSize(std::max(1, mulDiv(std::abs(size), pixelsPerInch_, 72)));
    } else {
        const QFont platformDefault;
        if (platformDefault.pixelSize() > 0)
            choice.font.setPixelSize(platformDefault.pixelSize());
        else
            choice.font.setPointSizeF(platformDefault.pointSizeF());
    }
    choice.font.setBold(flag(Negreta));
    choice.font.setItalic(flag(Italica));
    choice.font.setUnderline(flag(Subrratllat));
    choice.font.setStrikeOut(flag(Tatxat));
    return choice;
}

StoredSettings SettingsFile::Read() const {
    return {ReadOptions(), ReadFont(FontLletraSection), ReadFont(FontEditorSection)};
}

namespace {

Entries optionEntries(const EditorOptions& options) {
    return {{SettingsSection, LlenguaCatala, word(options.catalan)},
            {SettingsSection, TeclatVisible, word(options.keyboardVisible)},
            {SettingsSection, VeureLaLletra, word(options.showLetter)},
            {SettingsSection, LlegirLaLletraQueSEscriu, word(options.speakTyped)},
            {SettingsSection, LlegirLaLletraActual, word(options.speakCurrent)},
            {SettingsSection, ControlDelCursor, word(options.cursorControl)}};
}

Entries fontEntries(const char* section, const FontChoice& font, int pixelsPerInch) {
    return {{section, Charset, std::to_string(font.charset & 0xFF)},
            {section, Color, std::to_string(font.colour)},
            {section, Height, std::to_string(fontHeight(font.font, pixelsPerInch))},
            {section, Name, utf8ToCp1252(font.font.family().toStdString())},
            {section, Size, std::to_string(fontSize(font.font, pixelsPerInch))},
            {section, Negreta, word(font.font.bold())},
            {section, Italica, word(font.font.italic())},
            {section, Subrratllat, word(font.font.underline())},
            {section, Tatxat, word(font.font.strikeOut())}};
}

}  // namespace

// The first-run file's six options, then the keys added after it: those are
// written once they differ from their default or are in the file already, so
// that a first run still writes only the six.
std::vector<ProfileFile::Entry> SettingsFile::OptionEntries(const EditorOptions& options) const {
    Entries entries = optionEntries(options);
    const EditorOptions defaults;
    const auto later = [&](const char* key, bool value, bool defaultValue) {
        if (value != defaultValue || file_.read(SettingsSection, key, Absent, SettingsValueBuffer) != Absent)
            entries.push_back({SettingsSection, key, word(value)});
    };
    later(TallarLaVeu, options.cutSpeech, defaults.cutSpeech);
    later(TeclesAmbElClic, options.clickControl, defaults.clickControl);
    later(TotesLesLletres, options.everyLetter, defaults.everyLetter);
    later(Minuscules, options.lowercase, defaults.lowercase);
    later(LletresPerFrequencia, options.frequencyOrder, defaults.frequencyOrder);
    later(LletresSegonsLaParaula, options.wordOrder, defaults.wordOrder);
    later(PrediccioDeParaules, options.prediction, defaults.prediction);
    later(EscombratAutomatic, options.autoScan, defaults.autoScan);
    const auto laterNumber = [&](const char* key, int value, int defaultValue) {
        if (value != defaultValue || file_.read(SettingsSection, key, Absent, SettingsValueBuffer) != Absent)
            entries.push_back({SettingsSection, key, std::to_string(value)});
    };
    laterNumber(IntervalEscombrat, options.autoScanMs, defaults.autoScanMs);
    laterNumber(TempsAcceptacio, options.acceptanceMs, defaults.acceptanceMs);
    laterNumber(TempsBloqueig, options.lockoutMs, defaults.lockoutMs);
    return entries;
}

// The writes are queued: the interface never waits for another process that
// holds the file, and reads see the values at once.
void SettingsFile::Write(std::vector<ProfileFile::Entry> entries) const {
    const std::string path = file_.path();
    if (!file_.writeLater(std::move(entries), [path](bool ok) { reportIfFailed(path, ok); }))
        reportIfFailed(path, false);
}

void SettingsFile::WriteOptions(const EditorOptions& options) const {
    Write(OptionEntries(options));
}

void SettingsFile::WriteFont(const char* section, const FontChoice& font) const {
    Write(fontEntries(section, font, pixelsPerInch_));
}

void SettingsFile::Save(const EditorOptions& options, const FontChoice& fontLletra,
                        const FontChoice& fontEditor) const {
    Entries entries = OptionEntries(options);
    const Entries letter = fontEntries(FontLletraSection, fontLletra, pixelsPerInch_);
    const Entries editor = fontEntries(FontEditorSection, fontEditor, pixelsPerInch_);
    entries.insert(entries.end(), letter.begin(), letter.end());
    entries.insert(entries.end(), editor.begin(), editor.end());
    Write(std::move(entries));
}

void SettingsFile::WriteDarkColours(bool dark) const {
    Write({{SettingsSection, FonsNegre, word(dark)}});
}

}  // namespace brunzit
