#include "app/language.h"

#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

#include <memory>

QStringList Languages() {
    return {QStringLiteral("de"), QStringLiteral("en")};
}

bool InstallLanguage(const QString& code) {
    if (!Languages().contains(code)) return false;
    static QPointer<QTranslator> own;
    if (own) {
        QCoreApplication::removeTranslator(own);
        delete own;
    }
    if (code == QLatin1String("en")) {
        auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
        if (translator->load(QStringLiteral(":/i18n/mevrant_en.qm"))) {
            own = translator.release();
            QCoreApplication::installTranslator(own);
        }
        InstallQtTranslations(QLocale::English); // none: Qt's texts are English as written
    } else {
        InstallQtTranslations(QLocale::German);
    }
    return true;
}
