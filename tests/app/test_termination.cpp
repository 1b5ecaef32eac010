// The programs end in an orderly way on SIGTERM, SIGINT and SIGHUP in every state, and a run a killed
// recorder left is made whole headless: real processes, each with folders of its own.
#include "chart/core/item_file.h"
#include "sim_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

bool WaitUntil(const std::function<bool()>& done, int ms) {
    for (int waited = 0; !done() && waited < ms; waited += 20)
        QThread::msleep(20);
    return done();
}

// The program's signal handler is in place (the signal is caught, not fatal).
bool Catches(qint64 pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* sub : {"data/mevrant", "config", "run"})
            QDir(dir.path()).mkpath(sub);
        QFile::setPermissions(dir.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir.path());
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    std::string Journal() const { return dir.filePath("data/mevrant").toStdString(); }
    // Starts the program and waits until it handles the signal.
    void Start(QProcess& p, const QStringList& args, int signal) {
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/app/mevrant", args);
        ASSERT_TRUE(p.waitForStarted(5000));
        ASSERT_TRUE(WaitUntil([&] { return Catches(p.processId(), signal); }, 10000));
    }
    // Sends the signal; true when the program then ended of itself with `status` within five seconds.
    static bool EndsWith(QProcess& p, int signal, int status) {
        ::kill(static_cast<pid_t>(p.processId()), signal);
        const bool ended = p.waitForFinished(5000);
        if (!ended) p.kill(), p.waitForFinished(3000);
        return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == status;
    }

    QTemporaryDir dir;
    QProcessEnvironment env;
};

} // namespace

// The question about an unfinished run and the error box of --start are open: a signal ends the
// program all the same (both were ignored), and the unanswered question is asked again next time.
TEST_F(Program, TheWindowEndsOnASignalWhileAStartUpDialogIsOpen) {
    const std::string run = Journal() + "/2020-01-01_00-00-00.mvx";
    const std::vector<TChartItem> items = {MakeItem(ikMoveTo, 0, 1, 0, 0, 0),
                                           MakeItem(ikLineTo, 1, 2, 0, 0, 0)};
    SaveItems(run, items);
    std::ofstream(run + ".open") << "1 another-boot\n";
    for (const int signal : {SIGTERM, SIGHUP}) {
        QProcess window;
        Start(window, {}, signal);
        QThread::msleep(700); // the question is up
        EXPECT_TRUE(EndsWith(window, signal, 0)) << "signal " << signal;
        EXPECT_TRUE(std::filesystem::exists(run + ".open"));
    }
    std::filesystem::remove(run + ".open");
    QProcess failing;
    Start(failing, {"--port", dir.filePath("no-such-device"), "--start"}, SIGINT);
    QThread::msleep(700); // the error box is up
    EXPECT_TRUE(EndsWith(failing, SIGINT, 0));
}

// Ctrl-C stops a recording as reaching --count does: the samples so far are written to -o, status 0.
TEST_F(Program, RecordStopsOnASignalAndWritesItsFile) {
    SimProcess sim({"--rate", "500", "--wave", "ramp"});
    const QString out = dir.filePath("out.mvx");
    QProcess record;
    Start(record, {"record", "--port", sim.Path(), "--seconds", "600", "-o", out}, SIGINT);
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const auto& e : std::filesystem::directory_iterator(Journal()))
                if (e.path().extension() == ".mvx" && LoadItems(e.path().string()).size() > 0 &&
                    LoadItems(e.path().string())[0].Kind != 0)
                    return true;
            return false;
        },
        10000));
    ASSERT_TRUE(EndsWith(record, SIGINT, 0)) << record.readAllStandardError().toStdString();
    const long long printed = record.readAllStandardOutput().trimmed().toLongLong();
    EXPECT_GT(printed, 0);
    EXPECT_EQ(static_cast<long long>(LoadItems(out.toStdString()).size()), printed);
}

// A recorder killed mid-run leaves its run unfinished; `mevrant journal` finds it, cuts the room it
// reserved and joins its channels, without a window.
TEST_F(Program, TheJournalCommandRecoversAKilledRecording) {
    SimProcess sim({"--rate", "500", "--wave", "ramp", "--channels", "2"});
    QProcess record;
    Start(record, {"record", "--port", sim.Path(), "--seconds", "600", "-o", dir.filePath("out.mvx")},
          SIGINT);
    std::string run;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const auto& e : std::filesystem::directory_iterator(Journal()))
                if (e.path().extension() == ".ch2") run = e.path().parent_path() / e.path().stem();
            return !run.empty() && std::filesystem::file_size(run + ".ch2") > 0;
        },
        10000));
    QThread::msleep(300);
    record.kill();
    record.waitForFinished(3000);
    QProcess list;
    list.setProcessEnvironment(env);
    list.start(qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/app/mevrant", {"journal"});
    ASSERT_TRUE(list.waitForFinished(10000));
    const QStringList fields = QString::fromUtf8(list.readAllStandardOutput()).trimmed().split('\t');
    ASSERT_EQ(fields.size(), 4) << fields.join('|').toStdString();
    EXPECT_EQ(fields[0].toStdString(), run);
    EXPECT_EQ(fields[3], "unfinished");
    EXPECT_FALSE(std::filesystem::exists(run + ".ch2"));
    const std::vector<TChartItem> items = LoadItems(run);
    EXPECT_EQ(fields[2].toULongLong(), items.size());
    ASSERT_GT(items.size(), 2u);
    EXPECT_NE(items.back().Kind, 0);      // no reserved room left
    EXPECT_EQ(items.back().ItemClass, 1); // channel 2 joined behind channel 1
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
