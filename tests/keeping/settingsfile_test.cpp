#include <QFile>
#include <sys/stat.h>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "editor/settingsfile.h"
#include "editor/tformlletra.h"
#include "platform/profilefile.h"
#include "tests/keeping/firstrunsettings.h"
#include "tests/keeping/qtprinters.h"

namespace {

using brunzit::EditorOptions;
using brunzit::FontChoice;
using brunzit::SettingsFile;

constexpr int Dpi = 96;

struct TempSettings {
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("brunzit.ini")).toStdString();
    brunzit::ProfileFile profile{path};
    SettingsFile settings{path, Dpi};

    // The file's non-empty lines, byte for byte.
    std::vector<std::string> lines() const {
        brunzit::ProfileFile::finishQueuedWrites();
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const std::string content = file.readAll().toStdString();
        std::vector<std::string> result;
        std::size_t start = 0;
        while (start < content.size()) {
            std::size_t end = content.find("\r\n", start);
            if (end == std::string::npos)
                end = content.size();
            if (end > start)
                result.push_back(content.substr(start, end - start));
            start = end + 2;
        }
        return result;
    }
};

TEST(SettingsFile, FirstRunClosedWithoutChanges) {
    TempSettings file;
    TFormLletra letterWindow;
    // The click poll writes its key from the first timer tick on.
    file.profile.write("BrunzitMouseHook", "CLIC", "0");
    file.settings.Save(EditorOptions{}, letterWindow.FontLletra,
                       brunzit::initialEditorFont());
    EXPECT_EQ(file.lines(), brunzit::testing::FirstRunSettingsLines());
}

TEST(SettingsFile, MissingFileReadsAsFirstRun) {
    TempSettings file;
    const brunzit::StoredSettings stored = file.settings.Read();
    EXPECT_EQ(stored.options, EditorOptions{});
    EXPECT_FALSE(stored.fontLletra);
    EXPECT_FALSE(stored.fontEditor);
}

TEST(SettingsFile, YesNoWordsAreComparedByteForByte) {
    struct Case {
        const char* key;
        const char* value;  // nullptr: key absent
        bool EditorOptions::*option;
        bool expected;
    };
    const Case cases[] = {
        {"Llengua Catal\xE0", "NO", &EditorOptions::catalan, false},
        {"Llengua Catal\xE0", "no", &EditorOptions::catalan, true},
        {"Llengua Catal\xE0", "", &EditorOptions::catalan, true},
        {"Llengua Catal\xE0", nullptr, &EditorOptions::catalan, true},
        {"LLENGUA CATAL\xE0", "NO", &EditorOptions::catalan, false},  // key names ignore case
        {"Teclat visible", "S\xCD", &EditorOptions::keyboardVisible, true},
        {"Teclat visible", "s\xED", &EditorOptions::keyboardVisible, false},
        {"Teclat visible", "si", &EditorOptions::keyboardVisible, false},
        {"Teclat visible", "SI", &EditorOptions::keyboardVisible, false},
        {"Teclat visible", "S\xC3\x8D", &EditorOptions::keyboardVisible, false},  // SÍ as UTF-8
        {"Veure la lletra que es diu", "S\xCD", &EditorOptions::showLetter, true},
        {"Veure la lletra que es diu", "NO", &EditorOptions::showLetter, false},
        {"Llegir la lletra que s'escriu", "NO", &EditorOptions::speakTyped, false},
        {"Llegir la lletra que s'escriu", "No", &EditorOptions::speakTyped, true},
        {"Llegir la lletra actual", "NO", &EditorOptions::speakCurrent, false},
        {"Llegir la lletra actual", "0", &EditorOptions::speakCurrent, true},
        {"Control del cursor i Return per controlar el teclat", "NO", &EditorOptions::cursorControl, false},
        {"Control del cursor i Return per controlar el teclat", "S\xCD", &EditorOptions::cursorControl, true},
        {"FONS NEGRE", "S\xCD", &EditorOptions::darkColours, true},
        {"FONS NEGRE", "s\xED", &EditorOptions::darkColours, false},
        {"FONS NEGRE", nullptr, &EditorOptions::darkColours, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " = " + (c.value ? c.value : "(absent)"));
        TempSettings file;
        file.profile.write("brunzit", "other", "x");
        if (c.value)
            file.profile.write("brunzit", c.key, c.value);
        const EditorOptions options = file.settings.ReadOptions();
        EXPECT_EQ(options.*c.option, c.expected);
    }
}

TEST(SettingsFile, OptionsAndSchemeAreWrittenAsWords) {
    TempSettings file;
    EditorOptions changed;
    changed.catalan = false;
    changed.keyboardVisible = true;
    changed.showLetter = true;
    changed.speakTyped = false;
    changed.speakCurrent = false;
    changed.cursorControl = false;
    changed.darkColours = true;  // not written by the options
    file.settings.WriteOptions(changed);
    EXPECT_EQ(file.profile.read("brunzit", "FONS NEGRE", "absent"), "absent");
    file.settings.WriteDarkColours(true);
    EXPECT_EQ(file.profile.read("brunzit", "FONS NEGRE", ""), "S\xCD");
    EXPECT_EQ(file.settings.ReadOptions(), changed);

    file.settings.WriteDarkColours(false);
    EXPECT_EQ(file.profile.read("brunzit", "FONS NEGRE", ""), "NO");
}

struct FontCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> keys;
    bool stored;
    int pixelSize;  // 0: the platform's default size
    const char* family;
    bool bold, italic, underline, strikeOut;
    brunzit::ColourNumber colour;
    int charset;
};

TEST(SettingsFile, FontSectionsAreRead) {
    const std::string longName(60, 'x');
    const FontCase cases[] = {
        {"no charset: nothing stored", {{"Name", "Courier"}, {"Size", "30"}}, false, 0, "", false, false, false,
         false, 0, 0},
        {"charset -1: nothing stored", {{"Charset", "-1"}, {"Size", "30"}}, false, 0, "", false, false, false, false,
         0, 0},
        {"charset not a number: nothing stored", {{"Charset", "ansi"}, {"Size", "30"}}, false, 0, "", false, false,
         false, false, 0, 0},
        {"size wins over height",
         {{"Charset", "0"}, {"Color", "255"}, {"Height", "-40"}, {"Name", "Arial"}, {"Size", "8"}},
         true, 11, "Arial", false, false, false, false, 255, 0},
        {"symbol charset",
         {{"Charset", "2"}, {"Color", "0"}, {"Height", "-16"}, {"Name", "Symbol"}, {"Size", "12"},
          {"Negreta", "S\xCD"}},
         true, 16, "Symbol", true, false, false, false, 0, 2},
        {"style flags by the exact word",
         {{"Charset", "0"}, {"Size", "12"}, {"Name", "Arial"}, {"Negreta", "NO"}, {"It\xE0lica", "S\xCD"},
          {"Subrratllat", "S\xCD"}, {"Tatxat", "si"}},
         true, 16, "Arial", false, true, true, false, 0, 0},
        {"system colour and a Windows-1252 name",
         {{"Charset", "0"}, {"Color", "-2147483640"}, {"Name", "Caf\xE9"}, {"Size", "200"}},
         true, 267, "Caf\xC3\xA9", false, false, false, false, brunzit::WindowTextColourNumber, 0},
        {"keys missing: defaults", {{"Charset", "0"}}, true, 0, "0", false, false, false, false, 0, 0},
        {"not numbers: defaults",
         {{"Charset", "0"}, {"Color", "red"}, {"Height", "big"}, {"Name", "Arial"}, {"Size", "12pt"}},
         true, 0, "Arial", false, false, false, false, 0, 0},
        {"numbers too large: defaults",
         {{"Charset", "0"}, {"Color", "4294967295"}, {"Name", "Arial"}, {"Size", "99999999999"}},
         true, 0, "Arial", false, false, false, false, 0, 0},
        {"name cut at 49 bytes", {{"Charset", "0"}, {"Name", longName.c_str()}, {"Size", "12"}}, true, 16,
         "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", false, false, false, false, 0, 0},
    };
    const QFont platformDefault;
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempSettings file;
        for (const auto& [key, value] : c.keys)
            file.profile.write("Font Editor", key, value);
        const std::optional<FontChoice> font = file.settings.ReadFont(brunzit::FontEditorSection);
        ASSERT_EQ(font.has_value(), c.stored);
        if (!c.stored)
            continue;
        if (c.pixelSize) {
            EXPECT_EQ(font->font.pixelSize(), c.pixelSize);
        } else {
            EXPECT_EQ(font->font.pixelSize(), platformDefault.pixelSize());
            EXPECT_EQ(font->font.pointSizeF(), platformDefault.pointSizeF());
        }
        EXPECT_EQ(font->font.family(), QString::fromUtf8(c.family));
        EXPECT_EQ(font->font.bold(), c.bold);
        EXPECT_EQ(font->font.italic(), c.italic);
        EXPECT_EQ(font->font.underline(), c.underline);
        EXPECT_EQ(font->font.strikeOut(), c.strikeOut);
        EXPECT_EQ(font->colour, c.colour);
        EXPECT_EQ(font->charset, c.charset);
    }
}

TEST(SettingsFile, FontsComeBackAsTheyWereSaved) {
    QFont pointSized(QStringLiteral("DejaVu Serif"), 10);
    pointSized.setItalic(true);
    pointSized.setUnderline(true);
    pointSized.setStrikeOut(true);
    QFont accented(QStringLiteral("Caf\u00e9"));
    accented.setPixelSize(40);
    struct Case {
        const char* name;
        FontChoice font;
        int pixelSize;
    };
    const Case cases[] = {
        {"large letter", brunzit::initialLetterFont(), 267},
        {"editor", brunzit::initialEditorFont(), 16},
        {"points, every style, plain colour, charset 2", {pointSized, 0x004080FF, 2}, 13},
        {"accented name", {accented, 0x00FFFFFF, 0}, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempSettings file;
        file.settings.Save(EditorOptions{}, c.font, c.font);
        const std::vector<std::string> firstSave = file.lines();
        const brunzit::StoredSettings stored = file.settings.Read();
        for (const std::optional<FontChoice>& font : {stored.fontLletra, stored.fontEditor}) {
            ASSERT_TRUE(font);
            EXPECT_EQ(font->font.family(), c.font.font.family());
            EXPECT_EQ(font->font.pixelSize(), c.pixelSize);
            EXPECT_EQ(font->font.bold(), c.font.font.bold());
            EXPECT_EQ(font->font.italic(), c.font.font.italic());
            EXPECT_EQ(font->font.underline(), c.font.font.underline());
            EXPECT_EQ(font->font.strikeOut(), c.font.font.strikeOut());
            EXPECT_EQ(font->colour, c.font.colour);
            EXPECT_EQ(font->charset, c.font.charset);
        }
        // Saving what was read leaves the file as it was.
        file.settings.Save(EditorOptions{}, *stored.fontLletra, *stored.fontEditor);
        EXPECT_EQ(file.lines(), firstSave);
    }
}

TEST(SettingsFile, CharsetIsStoredInItsLowByte) {
    TempSettings file;
    FontChoice font = brunzit::initialEditorFont();
    font.charset = 0x1A2;
    file.settings.WriteFont(brunzit::FontEditorSection, font);
    EXPECT_EQ(file.profile.read("Font Editor", "Charset", ""), "162");
}

TEST(SettingsFile, HeightAndSizeOfAFont) {
    struct Case {
        const char* name;
        int pixels;     // 0: use points
        double points;
        int dpi;
        int height, size;
    };
    const Case cases[] = {
        {"letter", 267, 0, 96, -267, 200},
        {"editor", 16, 0, 96, -16, 12},
        {"12 points", 0, 12, 96, -16, 12},
        {"half a size rounds away from zero", 0, 10.5, 96, -14, 11},
        {"another resolution", 0, 12, 120, -20, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFont font;
        if (c.pixels)
            font.setPixelSize(c.pixels);
        else
            font.setPointSizeF(c.points);
        EXPECT_EQ(brunzit::fontHeight(font, c.dpi), c.height);
        EXPECT_EQ(brunzit::fontSize(font, c.dpi), c.size);
    }
}

TEST(SettingsFile, WholeNumbers) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"-1", -1},
        {"+5", 5},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483640", -2147483640},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"12a", std::nullopt},
        {"1.5", std::nullopt},
        {"1 2", std::nullopt},
        {"$FF", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(brunzit::parseWholeNumber(c.text), c.value);
    }
}

TEST(SettingsFile, ColourNumbers) {
    QPalette palette;
    palette.setColor(QPalette::WindowText, QColor(10, 20, 30));
    palette.setColor(QPalette::Base, QColor(40, 50, 60));
    struct Case {
        const char* name;
        brunzit::ColourNumber number;
        QColor colour;
    };
    const Case cases[] = {
        {"black", 0, QColor(0, 0, 0)},
        {"red is the low byte", 255, QColor(255, 0, 0)},
        {"blue is the third byte", 0x00FF0000, QColor(0, 0, 255)},
        {"mixed", 0x00336699, QColor(0x99, 0x66, 0x33)},
        {"window text", brunzit::WindowTextColourNumber, QColor(10, 20, 30)},
        {"window", static_cast<brunzit::ColourNumber>(0x80000005u), QColor(40, 50, 60)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(brunzit::colourOf(c.number, palette), c.colour);
        if (c.number >= 0) {
            EXPECT_EQ(brunzit::numberOf(c.colour), c.number);
        }
    }
}

// The user hears once of settings that cannot be kept: a read-only file is
// left as it is, every later write fails too, and only the first is told.
TEST(SettingsFile, FailedWritesAreReportedOnce) {
    TempSettings file;
    file.profile.write("brunzit", "FONS NEGRE", "NO");
    std::vector<std::string> reports;
    brunzit::SetSettingsFailureReport([&](const std::string& path) { reports.push_back(path); });
    file.settings.WriteDarkColours(true);
    EXPECT_EQ(file.settings.ReadOptions().darkColours, true);  // seen before it is written
    brunzit::ProfileFile::finishQueuedWrites();
    EXPECT_TRUE(reports.empty());

    ASSERT_EQ(::chmod(file.path.c_str(), 0444), 0);
    const std::vector<std::string> before = file.lines();
    TFormLletra letterWindow;
    file.settings.Save(EditorOptions{}, letterWindow.FontLletra, brunzit::initialEditorFont());
    file.settings.WriteDarkColours(false);
    brunzit::ProfileFile::finishQueuedWrites();
    EXPECT_EQ(file.lines(), before);
    EXPECT_EQ(reports, std::vector<std::string>{file.path});
    EXPECT_TRUE(brunzit::SettingsFailureMessage(file.path).contains(QString::fromStdString(file.path)));
    brunzit::SetSettingsFailureReport(nullptr);
}

}  // namespace
