#pragma once
// "Weiterleiten": where every sample of the next runs goes on to (brokers and databases, as URLs),
// and the device name a database files them under. A password never goes into a URL (it is asked for
// at the next Start and kept in the desktop's secret store).

#include "app/url_list_dialog.h"

class ForwardDialog : public UrlListDialog {
    Q_OBJECT
public:
    ForwardDialog(QWidget* parent, const QStringList& targets, const QString& device);
    QStringList Targets() const { return Urls(); }
    QString Device() const;
    // The reason a URL is no target, empty for a good one.
    static QString Refusal(const QString& url);

    QLineEdit* DeviceEdit() const { return device_; }

private:
    QLineEdit* device_;
};
