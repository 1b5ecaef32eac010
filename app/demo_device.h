#pragma once
// The built-in simulated measuring device of "mevrant --demo": the simulator program, started with an
// argument list (never through a shell) and ended with the program.

#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

class DemoDevice {
public:
    DemoDevice();
    ~DemoDevice();

    // Starts the simulator and returns its device path; throws std::runtime_error when it cannot.
    QString Start(const QStringList& arguments = {"--rate", "50", "--wave", "sine"});

    // Where the simulator program is: beside this program, in the build tree's tools folder, or on PATH.
    static QString FindSimulator();

private:
    std::unique_ptr<QProcess> process_;
};
