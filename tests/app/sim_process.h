#pragma once
// Runs the simulated device for a test: started with an argument list, its device path read from its
// first line of output, ended when the object goes.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <stdexcept>

class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments) {
        const QString program = qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/tools/mevrant-sim";
        process_.start(program, arguments);
        if (!process_.waitForStarted(5000))
            throw std::runtime_error("mevrant-sim did not start: " + program.toStdString());
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(5000))
                throw std::runtime_error("mevrant-sim printed no device path");
        path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) process_.kill();
            process_.waitForFinished(1000);
        }
    }
    const QString& Path() const { return path_; }
    // Ends the device at once, as pulling the plug would.
    void Kill() {
        process_.kill();
        process_.waitForFinished(3000);
    }
    bool WaitForExit(int ms) { return process_.waitForFinished(ms); }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
    QString path_;
};
