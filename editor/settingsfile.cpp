#include "editor/settingsfile.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <limits>

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

}  // namespace

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

void SettingsFile::WriteOptions(const EditorOptions& options) const {
    file_.write(SettingsSection, LlenguaCatala, word(options.catalan));
    file_.write(SettingsSection, TeclatVisible, word(options.keyboardVisible));
    file_.write(SettingsSection, VeureLaLletra, word(options.showLetter));
    file_.write(SettingsSection, LlegirLaLletraQueSEscriu, word(options.speakTyped));
    file_.write(SettingsSection, LlegirLaLletraActual, word(options.speakCurrent));
    file_.write(SettingsSection, ControlDelCursor, word(options.cursorControl));
    // Keys later than the first-run file: written once they differ from
    // their default, so that a first run still writes only the six above.
    const EditorOptions defaults;
    const auto later = [this](const char* key, bool value, bool defaultValue) {
        if (value != defaultValue || file_.read(SettingsSection, key, Absent, SettingsValueBuffer) != Absent)
            file_.write(SettingsSection, key, word(value));
    };
    later(TallarLaVeu, options.cutSpeech, defaults.cutSpeech);
    later(TeclesAmbElClic, options.clickControl, defaults.clickControl);
    later(TotesLesLletres, options.everyLetter, defaults.everyLetter);
    later(Minuscules, options.lowercase, defaults.lowercase);
    later(LletresPerFrequencia, options.frequencyOrder, defaults.frequencyOrder);
    later(PrediccioDeParaules, options.prediction, defaults.prediction);
    later(EscombratAutomatic, options.autoScan, defaults.autoScan);
    const auto laterNumber = [this](const char* key, int value, int defaultValue) {
        if (value != defaultValue || file_.read(SettingsSection, key, Absent, SettingsValueBuffer) != Absent)
            file_.write(SettingsSection, key, std::to_string(value));
    };
    laterNumber(IntervalEscombrat, options.autoScanMs, defaults.autoScanMs);
    laterNumber(TempsAcceptacio, options.acceptanceMs, defaults.acceptanceMs);
    laterNumber(TempsBloqueig, options.lockoutMs, defaults.lockoutMs);
}

void SettingsFile::WriteFont(const char* section, const FontChoice& font) const {
    file_.write(section, Charset, std::to_string(font.charset & 0xFF));
    file_.write(section, Color, std::to_string(font.colour));
    file_.write(section, Height, std::to_string(fontHeight(font.font, pixelsPerInch_)));
    file_.write(section, Name, utf8ToCp1252(font.font.family().toStdString()));
    file_.write(section, Size, std::to_string(fontSize(font.font, pixelsPerInch_)));
    file_.write(section, Negreta, word(font.font.bold()));
    file_.write(section, Italica, word(font.font.italic()));
    file_.write(section, Subrratllat, word(font.font.underline()));
    file_.write(section, Tatxat, word(font.font.strikeOut()));
}

void SettingsFile::Save(const EditorOptions& options, const FontChoice& fontLletra,
                        const FontChoice& fontEditor) const {
    WriteOptions(options);
    WriteFont(FontLletraSection, fontLletra);
    WriteFont(FontEditorSection, fontEditor);
}

void SettingsFile::WriteDarkColours(bool dark) const {
    file_.write(SettingsSection, FonsNegre, word(dark));
}

}  // namespace brunzit
