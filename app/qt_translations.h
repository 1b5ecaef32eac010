#pragma once
// Qt's own texts (the standard buttons, the file dialogs, the context menus of text fields) in the
// language of the window.

#include <QLocale>

// Installs Qt's translations of `language` from Qt's translations folder (Debian installs them with
// qt6-translations-l10n), in place of any this function installed before. False when there are none
// for that language there: Qt's texts are then its English ones.
bool InstallQtTranslations(QLocale::Language language);
