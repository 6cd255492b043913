#pragma once
// Qt's own texts (the standard buttons, the folder picker, the text boxes' right-click menus) in the
// user's language, from the translations the desktop's Qt installation ships (qtbase_ja.qm in
// Debian's qt6-translations-l10n).

#include <QLocale>
#include <QString>

class QCoreApplication;
class QTranslator;

namespace gui {

// Installs Qt's translations for locale into app and returns the translator (a child of app);
// null when none were found (Qt's texts then stay in English). folder: where to look; empty means
// Qt's own translations folder.
QTranslator* LoadQtTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system(),
                        const QString& folder = {});

} // namespace gui
