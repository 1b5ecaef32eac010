#include "app/local_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

struct Shape {
    const char* Pattern; // the German text, its parts captured in the order of its %1, %2 …
    const char* Text;    // the source text of the translation
};

const Shape kShapes[] = {
    {"^'(.*)' ist kein gültiger Gleitkommawert$",
     QT_TRANSLATE_NOOP("Messages", "'%1' ist kein gültiger Gleitkommawert")},
    {"^'(.*)' ist kein gültiger Integerwert$",
     QT_TRANSLATE_NOOP("Messages", "'%1' ist kein gültiger Integerwert")},
    {"^Das Journal der Erfassung kann nicht angelegt werden: \"(.*)\": (.*)\\. Die Erfassung läuft im "
     "Speicher "
     "weiter und ist nicht gegen Absturz gesichert\\.$",
     QT_TRANSLATE_NOOP("Messages",
                       "Das Journal der Erfassung kann nicht angelegt werden: \"%1\": %2. Die "
                       "Erfassung läuft im Speicher weiter und ist nicht gegen Absturz gesichert.")},
    {"^Das Journal der Erfassung kann nicht geschrieben werden: \"(.*)\": (.*)\\. Die Erfassung läuft im "
     "Speicher weiter und ist nicht gegen Absturz gesichert\\.$",
     QT_TRANSLATE_NOOP("Messages",
                       "Das Journal der Erfassung kann nicht geschrieben werden: \"%1\": %2. Die "
                       "Erfassung läuft im Speicher weiter und ist nicht gegen Absturz gesichert.")},
    {"^(.*) gehört der Gruppe (\\S+): `sudo usermod -aG \\S+ \\$USER`, dann neu anmelden$",
     QT_TRANSLATE_NOOP("Messages",
                       "%1 gehört der Gruppe %2: `sudo usermod -aG %2 $USER`, dann neu anmelden")},
};

} // namespace

QString LocalText(const QString& text) {
    for (const Shape& shape : kShapes) {
        const QRegularExpressionMatch m = QRegularExpression(QString::fromUtf8(shape.Pattern)).match(text);
        if (!m.hasMatch()) continue;
        QString said = QCoreApplication::translate("Messages", shape.Text);
        for (int i = 1; i <= m.lastCapturedIndex(); ++i)
            said = said.arg(m.captured(i));
        return said;
    }
    return text;
}
