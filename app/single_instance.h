#pragma once
// Lets only one instance of the program run per user. The first instance listens on a local socket
// that only this user can reach; a second start tells it to come to the front and ends once it has
// answered. An instance that does not answer (stopped, or hanging) keeps nobody from starting.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this instance is to run: it then answers later starts. False when another instance
    // runs and has answered that it shows its window.
    bool Acquire();

    // Called in the first instance when a later start asks it to show itself.
    std::function<void()> OnActivate;

    // After Acquire returned true: whether another instance held the name but did not answer within
    // kAnswerMs (this one runs all the same and answers later starts in its place); its process id
    // where the system tells it (0 when not) and whether it is stopped (SIGSTOP, Ctrl-Z).
    bool HolderSilent() const { return holderSilent_; }
    qint64 HolderPid() const { return holderPid_; }
    bool HolderStopped() const { return holderStopped_; }
    // What the user is told then: a line for standard error, a German one for the window.
    QString SilentHolderMessage() const;
    QString SilentHolderStatus() const;

    static constexpr int kAnswerMs = 2000;

    static QString DefaultName();

private:
    bool AskHolder();

    QString name_;
    QLocalServer* server_ = nullptr;
    bool holderSilent_ = false;
    qint64 holderPid_ = 0;
    bool holderStopped_ = false;
};
