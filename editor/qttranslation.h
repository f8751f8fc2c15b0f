#pragma once
// Qt's own texts (standard buttons, the file, font, print and colour dialogs)
// in the interface language, from the system's Qt translations.

namespace brunzit {

// Replaces the translation in use by Catalan's or Spanish's. Returns false
// when the system has none for that language; Qt's texts then stay English.
bool UseQtTranslation(bool catalan);

}  // namespace brunzit
