#include "editor/qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace brunzit {

bool UseQtTranslation(bool catalan)
{
    // One translator for the process, switched at run time with the menus.
    static QTranslator* translator = nullptr;
    if (!translator)
        translator = new QTranslator(QCoreApplication::instance());
    QCoreApplication::removeTranslator(translator);
    const bool loaded = translator->load(catalan ? QStringLiteral("qtbase_ca") : QStringLiteral("qtbase_es"),
                                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded)
        QCoreApplication::installTranslator(translator);
    return loaded;
}

}  // namespace brunzit
