#pragma once
// Holder of the pronunciation exceptions dictionary. Never shown: it carries
// the open-file dialog and loads the stored dictionary when it is created.

#include <QWidget>
#include <string>

#include "speech/exceptionsinuse.h"

class QFileDialog;

class TFormDiccionariExcepcions : public QWidget {
    Q_OBJECT
public:
    // FormCreate: opens the program settings file and loads the dictionary
    // chosen in an earlier run.
    explicit TFormDiccionariExcepcions(QWidget* parent = nullptr);

    // Rewrites text in place when the dictionary is on.
    void ApplyExceptions(std::string& text) const;
    // Shows the open dialog, loads the chosen file; returns DictionaryEnabled.
    bool ChooseDictionary();
    // Reads the file, rebuilds the table and records the choice in the
    // settings; returns DictionaryEnabled. A file that cannot be read leaves
    // the dictionary off and the stored choice as it was.
    bool LoadDictionary(const std::string& path);

    bool DictionaryEnabled() const;
    // The check box switches it off; switching on takes a loaded table.
    void SetDictionaryEnabled(bool enabled);
    // The file of the last successful load, or the one named in the settings.
    const std::string& DictionaryFileName() const { return dictionaryFileName_; }
    // Made when first used: building it takes too long for start-up.
    QFileDialog* openDialog();

    const brunzit::ExceptionDictionary& dictionary() const { return inUse_.table; }
    // What the speech service reads to rewrite every text it speaks.
    const brunzit::ExceptionsInUse& inUse() const { return inUse_; }

private:
    QFileDialog* FormOpenDialogDiccionariExcepcions = nullptr;
    brunzit::ExceptionsInUse inUse_;
    std::string dictionaryFileName_;
};
