#pragma once
// Lets only one instance of the program run per user. The first instance listens on a local socket
// that only this user can reach; a second start tells it to come to the front and ends.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only instance; it then answers later starts. False when another instance
    // runs: it has been asked to activate its window.
    bool Acquire();

    // Called in the first instance when a later start asks it to show itself.
    std::function<void()> OnActivate;

    static QString DefaultName();

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};
