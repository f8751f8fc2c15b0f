#pragma once
// The editor's settings file "brunzit.ini": the options, the two fonts and
// the colour scheme, read at start-up and written at close (the scheme at
// once, whenever it is switched). Every read goes to the file; the writes
// are queued to a worker thread (reads see them at once), and the first
// write of a run that fails is reported to the user.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/fontcolour.h"
#include "platform/profilefile.h"

namespace brunzit {

inline constexpr char SettingsSection[] = "brunzit";
inline constexpr char FontLletraSection[] = "Font Lletra";
inline constexpr char FontEditorSection[] = "Font Editor";
inline constexpr char YesWord[] = "S\xCD";
inline constexpr char NoWord[] = "NO";
// Values are read into a buffer of this size, so they are cut after 49 bytes.
inline constexpr int SettingsValueBuffer = 50;

inline constexpr int MinAutoScanMs = 300;
inline constexpr int MaxAutoScanMs = 5000;

// The options as stored; the defaults are the state of a first run.
struct EditorOptions {
    bool catalan = true;          // "Llengua Català"
    bool keyboardVisible = false; // "Teclat visible"
    bool showLetter = false;      // "Veure la lletra que es diu"
    bool speakTyped = true;       // "Llegir la lletra que s'escriu"
    bool speakCurrent = true;     // "Llegir la lletra actual"
    bool cursorControl = true;    // "Control del cursor i Return per controlar el teclat"
    bool darkColours = false;     // "FONS NEGRE", written by the scheme command only
    bool cutSpeech = true;        // "Tallar la veu a cada tecla"
    bool clickControl = false;    // "Tecles esquerra i avall amb el clic"
    bool everyLetter = false;     // "Totes les lletres"
    bool lowercase = false;       // "Min\xFAscules"
    bool frequencyOrder = false;  // "Lletres per freq\xFC\xE8ncia"
    bool wordOrder = false;       // "Lletres segons la paraula"
    bool prediction = false;      // "Predicci\xF3 de paraules"
    bool autoScan = false;        // "Escombrat autom\xE0tic"
    int autoScanMs = 1500;        // "Interval de l'escombrat", 300 to 5000
    int acceptanceMs = 0;         // "Temps d'acceptaci\xF3", 0 to 1000
    int lockoutMs = -1;           // "Temps de bloqueig", 0 to 3000; -1: the quiet second

    bool operator==(const EditorOptions&) const = default;
};

// What the file holds. A font section without a "Charset" (or with -1 there)
// holds no font.
struct StoredSettings {
    EditorOptions options;
    std::optional<FontChoice> fontLletra;
    std::optional<FontChoice> fontEditor;
};

class SettingsFile {
public:
    // pixelsPerInch turns the stored point sizes into pixels and back.
    explicit SettingsFile(std::string path, int pixelsPerInch);
    // The shared "brunzit.ini" at the screen's resolution.
    SettingsFile();

    const std::string& path() const { return file_.path(); }

    StoredSettings Read() const;
    EditorOptions ReadOptions() const;
    std::optional<FontChoice> ReadFont(const char* section) const;

    // SaveSettings: the six options (not "FONS NEGRE") and the two later
    // ones where they differ from their default or are in the file already,
    // then "Font Lletra",
    // then "Font Editor", each key in its fixed order.
    void Save(const EditorOptions& options, const FontChoice& fontLletra, const FontChoice& fontEditor) const;
    void WriteOptions(const EditorOptions& options) const;
    void WriteFont(const char* section, const FontChoice& font) const;
    // "FONS NEGRE", written at once by the scheme command.
    void WriteDarkColours(bool dark) const;

private:
    void Write(std::vector<ProfileFile::Entry> entries) const;
    std::vector<ProfileFile::Entry> OptionEntries(const EditorOptions& options) const;

    ProfileFile file_;
    int pixelsPerInch_;
};

// What the user is told when the settings could not be written.
QString SettingsFailureMessage(const std::string& path);
// Called (from any thread) with the file's path at the first failed write of
// a run; by default a warning box on the interface thread. Setting it starts
// the count again.
using SettingsFailureReport = std::function<void(const std::string& path)>;
void SetSettingsFailureReport(SettingsFailureReport report);

// The logical resolution of the primary screen (96 when there is none).
int screenPixelsPerInch();

// A decimal whole number with an optional sign that fits 32 bits; anything
// else (blank, letters, fractions, overflow) is no number.
std::optional<std::int32_t> parseWholeNumber(std::string_view text);

// The stored "Height" (negative: character height in pixels) and "Size"
// (points) of a font.
int fontHeight(const QFont& font, int pixelsPerInch);
int fontSize(const QFont& font, int pixelsPerInch);

}  // namespace brunzit
