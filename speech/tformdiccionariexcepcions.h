#pragma once
// Holder of the pronunciation exceptions dictionary. Never shown: it carries
// the open-file dialog and loads the stored dictionary when it is created.

#include <QWidget>
#include <string>

#include "speech/exceptiondictionary.h"

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
    bool LoadDictionary(const std::string& path);

    bool DictionaryEnabled() const;
    void SetDictionaryEnabled(bool enabled);  // the check box switches it off

    const brunzit::ExceptionDictionary& dictionary() const { return dictionary_; }

private:
    QFileDialog* FormOpenDialogDiccionariExcepcions = nullptr;
    brunzit::ExceptionDictionary dictionary_;
};
