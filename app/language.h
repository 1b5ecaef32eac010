#pragma once
// The program's language: "de" (its texts as written, the default whatever the locale) or "en" (its
// English translation, built into the program). Qt's own texts (standard buttons, file dialogs,
// context menus) follow. Installing sends every widget a language change.

#include <QString>
#include <QStringList>

// The languages there are, by their codes.
QStringList Languages();
// False for a code that names none (the language stays as it was).
bool InstallLanguage(const QString& code);
