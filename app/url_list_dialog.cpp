#include "app/url_list_dialog.h"

#include "app/core/source_url.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

UrlListDialog::UrlListDialog(QWidget* parent, const QString& intro, const QString& example,
                             const QString& addCaption, const QStringList& urls, RefusalFn refusal,
                             const QString& fixed)
    : QDialog(parent), refusal_(refusal), fixed_(!fixed.isEmpty()) {
    auto* layout = new QVBoxLayout(this);
    auto* introLabel = new QLabel(intro, this);
    introLabel->setWordWrap(true);
    layout->addWidget(introLabel);
    list_ = new QListWidget(this);
    if (fixed_) {
        list_->addItem(fixed);
        list_->item(0)->setFlags(Qt::ItemIsEnabled); // always there, never chosen for removal
    }
    list_->addItems(urls);
    layout->addWidget(list_);
    auto* add = new QHBoxLayout;
    url_ = new QLineEdit(this);
    url_->setPlaceholderText(example);
    url_->setMinimumWidth(url_->fontMetrics().horizontalAdvance(example) + 24);
    auto* addButton = new QPushButton(addCaption, this);
    remove_ = new QPushButton(tr("Entfernen"), this);
    add->addWidget(url_, 1);
    add->addWidget(addButton);
    add->addWidget(remove_);
    layout->addLayout(add);
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(problem_);
    rows_ = new QVBoxLayout;
    layout->addLayout(rows_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(addButton, &QPushButton::clicked, this, [this] { AddUrl(); });
    connect(url_, &QLineEdit::returnPressed, this, [this] { AddUrl(); });
    connect(remove_, &QPushButton::clicked, this, [this] { RemoveUrl(); });
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int row) { remove_->setEnabled(row >= (fixed_ ? 1 : 0)); });
    remove_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    addButton->setAutoDefault(false);
    remove_->setAutoDefault(false);
}

bool UrlListDialog::AddUrl() {
    const QString url = url_->text().trimmed();
    if (url.isEmpty()) return false;
    const QString refusal = refusal_(url);
    problem_->setText(refusal);
    if (!refusal.isEmpty()) return false;
    std::string error;
    const QString canonical =
        QString::fromStdString(SourceUrlText(*ParseSourceUrl(url.toStdString(), &error)));
    if (Urls().contains(canonical)) {
        problem_->setText(tr("%1 ist schon in der Liste").arg(canonical));
        return false;
    }
    list_->addItem(canonical);
    url_->clear();
    return true;
}

void UrlListDialog::RemoveUrl() {
    if (list_->currentRow() >= (fixed_ ? 1 : 0)) delete list_->takeItem(list_->currentRow());
}

QStringList UrlListDialog::Urls() const {
    QStringList urls;
    for (int i = fixed_ ? 1 : 0; i < list_->count(); ++i)
        urls << list_->item(i)->text();
    return urls;
}

bool UrlListDialog::Answered(const std::function<void()>& show) {
    show();
    if (result() != QDialog::Accepted) return false;
    AddUrl();
    return true;
}
