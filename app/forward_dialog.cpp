#include "app/forward_dialog.h"

#include "app/core/source_url.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLineEdit>

ForwardDialog::ForwardDialog(QWidget* parent, const QStringList& targets, const QString& device)
    : UrlListDialog(
          parent,
          tr("Jeder Messwert der nächsten Erfassungen geht an diese Ziele, aus dem Journal, so dass "
             "nichts verloren geht:"),
          tr("mqtt://broker/labor/platz1 oder influx+http://db:8086/labor"), tr("Hinzufügen"), targets,
          &ForwardDialog::Refusal) {
    setWindowTitle(tr("Weiterleiten"));
    auto* form = new QFormLayout;
    device_ = new QLineEdit(device, this);
    form->addRow(tr("Gerätename für die Datenbank:"), device_);
    Rows()->addLayout(form);
}

QString ForwardDialog::Refusal(const QString& url) {
    std::string error;
    const std::optional<SourceUrl> parsed = ParseSourceUrl(url.trimmed().toStdString(), &error);
    if (!parsed) return QString::fromStdString(error);
    if (IsSourceKind(parsed->Type) && parsed->Type != SourceUrl::Kind::Mqtt)
        return tr(
            "Ein Ziel ist eine URL mqtt://, mqtts://, influx+http://, influx+https:// oder influx+udp://");
    return {};
}

QString ForwardDialog::Device() const {
    return device_->text().trimmed();
}
