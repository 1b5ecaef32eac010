#include "app/source_dialog.h"

#include "app/core/source_url.h"

SourceDialog::SourceDialog(QWidget* parent, const QString& port, const QStringList& sources)
    : UrlListDialog(
          parent,
          tr("Die nächsten Erfassungen lesen diese Quellen zusammen; die Kanäle jeder Quelle heißen "
             "Quelle/Kanal. Ein Empfänger lauscht auf 127.0.0.1, wenn keine Adresse genannt ist:"),
          tr("udp://:5000, tcp://bruecke:23 oder mqtt://broker/labor/#"), tr("Quelle hinzufügen"), sources,
          &SourceDialog::Refusal, tr("1: Schnittstelle %1").arg(port)) {
    setWindowTitle(tr("Quellen"));
}

QString SourceDialog::Refusal(const QString& url) {
    std::string error;
    const std::optional<SourceUrl> parsed = ParseSourceUrl(url.trimmed().toStdString(), &error);
    if (!parsed) return QString::fromStdString(error);
    if (parsed->Type == SourceUrl::Kind::Serial || !IsSourceKind(parsed->Type))
        return tr("Eine Quelle neben der Schnittstelle ist eine URL udp://, tcp://, mqtt:// oder mqtts://");
    return {};
}
