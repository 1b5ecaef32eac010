#pragma once
// "Weiterleiten": where every sample of the next runs goes on to (brokers and databases, as URLs),
// and the device name a database files them under. A URL is checked as it is added; a password never
// goes into it (it is asked for at the next Start and kept in the desktop's secret store).

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class ForwardDialog : public QDialog {
    Q_OBJECT
public:
    ForwardDialog(QWidget* parent, const QStringList& targets, const QString& device);
    QStringList Targets() const;
    QString Device() const;

    // Adds the URL in the field; false, with the reason under it, when it names no target.
    bool AddTarget();
    void RemoveTarget();
    // The reason a URL is no target, empty for a good one.
    static QString Refusal(const QString& url);

    QListWidget* List() const { return list_; }
    QLineEdit* UrlEdit() const { return url_; }
    QLineEdit* DeviceEdit() const { return device_; }
    QLabel* Problem() const { return problem_; }

private:
    QListWidget* list_;
    QLineEdit* url_;
    QLineEdit* device_;
    QLabel* problem_;
    QPushButton* remove_;
};
