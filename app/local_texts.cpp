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
    // The network sources' and the forwarders' (the far end's kind first, as the user knows it).
    {"^(UDP|TCP|MQTT|InfluxDB): keine Verbindung zu (.*?): (.*)$",
     QT_TRANSLATE_NOOP("Messages", "%1: keine Verbindung zu %2: %3")},
    {"^(MQTT): keine Antwort von (.*) in (\\d+) s$",
     QT_TRANSLATE_NOOP("Messages", "%1: keine Antwort von %2 in %3 s")},
    {"^(MQTT): (.*?) getrennt: (.*)$", QT_TRANSLATE_NOOP("Messages", "%1: %2 getrennt: %3")},
    {"^(UDP): \"(.*)\" ist keine Adresse dieses Rechners \\((.*)\\)$",
     QT_TRANSLATE_NOOP("Messages", "%1: \"%2\" ist keine Adresse dieses Rechners (%3)")},
    {"^(UDP): (.*) kann nicht geöffnet werden: (.*)$",
     QT_TRANSLATE_NOOP("Messages", "%1: %2 kann nicht geöffnet werden: %3")},
    {"^(UDP): (\\d+) Datagramme an (.*) verworfen, bevor sie gelesen werden konnten \\(der Empfang kam nicht "
     "nach\\)$",
     QT_TRANSLATE_NOOP("Messages", "%1: %2 Datagramme an %3 verworfen, bevor sie gelesen werden konnten (der "
                                   "Empfang kam nicht nach)")},
    {"^(MQTT): mehr als (\\d+) Themen mit je einem Wert; weitere wie (.*) werden nicht aufgezeichnet$",
     QT_TRANSLATE_NOOP("Messages", "%1: mehr als %2 Themen mit je einem Wert; weitere wie %3 werden nicht "
                                   "aufgezeichnet")},
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
