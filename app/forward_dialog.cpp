#include "app/forward_dialog.h"

#include "app/core/source_url.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ForwardDialog::ForwardDialog(QWidget* parent, const QStringList& targets, const QString& device)
    : QDialog(parent) {
    setWindowTitle(tr("Weiterleiten"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Jeder Messwert der nächsten Erfassungen geht an diese Ziele, aus dem "
                                "Journal, so dass nichts verloren geht:"),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    list_ = new QListWidget(this);
    list_->addItems(targets);
    layout->addWidget(list_);
    auto* add = new QHBoxLayout;
    url_ = new QLineEdit(this);
    url_->setPlaceholderText(tr("mqtt://broker/labor/platz1 oder influx+http://db:8086/labor"));
    url_->setMinimumWidth(url_->fontMetrics().horizontalAdvance(url_->placeholderText()) + 24);
    auto* addButton = new QPushButton(tr("Hinzufügen"), this);
    remove_ = new QPushButton(tr("Entfernen"), this);
    add->addWidget(url_, 1);
    add->addWidget(addButton);
    add->addWidget(remove_);
    layout->addLayout(add);
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(problem_);
    auto* form = new QFormLayout;
    device_ = new QLineEdit(device, this);
    form->addRow(tr("Gerätename für die Datenbank:"), device_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(addButton, &QPushButton::clicked, this, [this] { AddTarget(); });
    connect(url_, &QLineEdit::returnPressed, this, [this] { AddTarget(); });
    connect(remove_, &QPushButton::clicked, this, [this] { RemoveTarget(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { remove_->setEnabled(row >= 0); });
    remove_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    addButton->setAutoDefault(false);
    remove_->setAutoDefault(false);
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

bool ForwardDialog::AddTarget() {
    const QString url = url_->text().trimmed();
    if (url.isEmpty()) return false;
    const QString refusal = Refusal(url);
    problem_->setText(refusal);
    if (!refusal.isEmpty()) return false;
    // As the program writes it again: the same target twice is one.
    std::string error;
    const QString canonical =
        QString::fromStdString(SourceUrlText(*ParseSourceUrl(url.toStdString(), &error)));
    if (Targets().contains(canonical)) {
        problem_->setText(tr("%1 ist schon ein Ziel").arg(canonical));
        return false;
    }
    list_->addItem(canonical);
    url_->clear();
    return true;
}

void ForwardDialog::RemoveTarget() {
    delete list_->takeItem(list_->currentRow());
}

QStringList ForwardDialog::Targets() const {
    QStringList targets;
    for (int i = 0; i < list_->count(); ++i)
        targets << list_->item(i)->text();
    return targets;
}

QString ForwardDialog::Device() const {
    return device_->text().trimmed();
}
