#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace gui {

QTranslator* LoadQtTranslations(QCoreApplication& app, const QLocale& locale, const QString& folder)
{
    const QString where = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // The translator lives as long as the application that uses it.
    auto* translator = new QTranslator(&app);
    // qtbase_ja.qm for ja_JP; QTranslator tries ja_JP, then ja, for the locale's UI languages.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), where)) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace gui
