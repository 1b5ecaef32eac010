#include "app/demo_device.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <stdexcept>

DemoDevice::DemoDevice() = default;

DemoDevice::~DemoDevice() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(2000)) {
            process_->kill();
            process_->waitForFinished(1000);
        }
    }
}

QString DemoDevice::FindSimulator() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + "/mevrant-sim", dir + "/../tools/mevrant-sim"})
        if (QFileInfo(candidate).isExecutable()) return QFileInfo(candidate).canonicalFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("mevrant-sim"));
}

QString DemoDevice::Start(const QStringList& arguments) {
    const QString program = FindSimulator();
    if (program.isEmpty()) throw std::runtime_error("The simulated device (mevrant-sim) was not found.");
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    process_->setInputChannelMode(QProcess::ManagedInputChannel);
    // The device ends with this program even when a SIGKILL leaves no chance to end it here.
    process_->start(program, QStringList(arguments) << QStringLiteral("--parent")
                                                    << QString::number(QCoreApplication::applicationPid()));
    if (!process_->waitForStarted(5000))
        throw std::runtime_error("The simulated device could not be started: " +
                                 process_->errorString().toStdString());
    while (!process_->canReadLine()) {
        if (!process_->waitForReadyRead(5000))
            throw std::runtime_error("The simulated device did not report its device path.");
    }
    return QString::fromLocal8Bit(process_->readLine()).trimmed();
}
