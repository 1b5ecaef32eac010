#include "app/cli.h"
#include "app/core/csv_export.h"
#include "app/core/journal.h"
#include "chart/core/item_file.h"
#include "forward_counts.h"
#include "sim_process.h"
#include "tests/broker_process.h"
#include "tests/reliability/sanitized.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <span>
#include <sstream>
#include <tuple>
#include <vector>

#include <sys/stat.h>

namespace {

struct Result {
    int exitCode;
    QString out;
    QString err;
};

QString Mevrant() {
    return qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/app/mevrant";
}

// Runs the program with the arguments, or the given command instead.
Result RunMevrant(const QStringList& args, int timeoutMs = 60000,
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                  const std::pair<QString, QStringList>& command = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (command.first.isEmpty())
        p.start(qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/app/mevrant", args);
    else
        p.start(command.first, command.second);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, "timed out"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TChartItem Sample(TChartItemKind kind, double x, double y) {
    return MakeItem(kind, x, y, 0, 0, 0xFF0000);
}

// A machine without any display: an SSH session or CI. A window system asked for anyway would abort.
QProcessEnvironment NoDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
    for (int waited = 0; !done() && waited < ms; waited += 20)
        QThread::msleep(20);
    return done();
}

} // namespace

TEST(Cli, HelpAndVersionNeedNoDisplay) {
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--help"}, "--demo"},           {{"-h"}, "--port"},
        {{"--version"}, "Mevrant 0."},    {{"record", "--help"}, "--count"},
        {{"render", "--help"}, "--size"}, {{"csv", "--help"}, "FILE.csv"}};
    for (const auto& [args, expected] : cases) {
        const Result r = RunMevrant(args, 60000, NoDisplay());
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(expected)) << args.join(' ').toStdString() << ": " << r.out.toStdString();
    }
    const Result wrong = RunMevrant({"--bogus"}, 60000, NoDisplay());
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains("bogus")) << wrong.err.toStdString();
}

// SIGTERM, SIGINT and SIGHUP end the window as "Beenden" does, with status 0, its simulated device and
// its run finished; after a SIGKILL, which the program cannot see, the device ends by itself and the run
// is found unfinished.
TEST(Cli, SignalsEndTheProgramAndItsSimulatedDevice) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signal);
        QTemporaryDir runtime; // private to the user, as a runtime folder must be: the device registers here
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("XDG_CONFIG_HOME", runtime.path()); // the settings it keeps
        env.insert("XDG_DATA_HOME", runtime.path());   // and its journal
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(Mevrant(), {"--demo", "--start"});
        const QDir registrations(runtime.filePath("mevrant-sim"));
        const std::string journal = runtime.filePath("mevrant").toStdString();
        ASSERT_TRUE(WaitUntil([&] { return !registrations.entryList(QDir::Files).isEmpty(); }, 20000));
        ASSERT_TRUE(WaitUntil([&] { return ListJournalRuns(journal).size() == 1; }, 20000));
        QThread::msleep(100); // a few samples
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(20000));
        if (signal != SIGKILL) {
            EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(program.exitCode(), 0);
        }
        // The device removes its registration as it ends.
        EXPECT_TRUE(WaitUntil([&] { return registrations.entryList(QDir::Files).isEmpty(); }));
        const std::vector<JournalRun> runs = ListJournalRuns(journal);
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].Unfinished, signal == SIGKILL);
        EXPECT_FALSE(runs[0].Running);
        EXPECT_GT(runs[0].Records, 0u);
    }
}

// Whether a tiny tmpfs can be mounted on the folder (made here) in a mount namespace of its own.
static bool TinyDiskPossible(const QString& folder) {
    return QDir().mkpath(folder) &&
           QProcess::execute("unshare", {"-rm", "sh", "-c", "mount -t tmpfs -o size=64k tmpfs " + folder}) ==
               0;
}

// A journal on a disk that is full: told once, and the recording keeps every sample all the same. The
// full disk is a tiny tmpfs in a mount namespace of its own, where the system allows one.
TEST(Cli, RecordOnAFullDiskSaysSoOnceAndKeepsEverySample) {
    QTemporaryDir dir;
    const QString full = dir.filePath("full"), out = dir.filePath("out.mvx");
    if (!TinyDiskPossible(full)) GTEST_SKIP() << "no mount namespace here for a tmpfs";
    SimProcess sim({"--count", "3000", "--max", "--wave", "ramp"});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", full);
    const QString record = Mevrant() + " record --port " + sim.Path() + " --count 3000 -o " + out;
    const Result r = RunMevrant(
        {}, 60000, env,
        {"unshare", {"-rm", "sh", "-c", "mount -t tmpfs -o size=64k tmpfs " + full + " && exec " + record}});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "3000");
    EXPECT_EQ(r.err.count("nicht gegen Absturz gesichert"), 1) << r.err.toStdString();
    EXPECT_EQ(LoadItems(out.toStdString()).size(), 3000u);
}

TEST(Cli, CsvWritesTheSamples) {
    QTemporaryDir dir;
    const std::string mvx = dir.filePath("a.mvx").toStdString();
    // Receive times in X2 where the file holds them (the last one carries into the next second); other
    // kinds of item are no samples.
    TChartItem timed = Sample(ikLineTo, 2, -3), carried = Sample(ikLineTo, 3, 1e-7);
    timed.X2 = 1765251720.125;
    carried.X2 = 1765251720.9996;
    SaveItems(mvx, std::vector<TChartItem>{Sample(ikMoveTo, 0, 1.5), Sample(ikMark, 1, 9), timed, carried});
    const Result r = RunMevrant({"csv", QString::fromStdString(mvx)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "sample,time,value\r\n1,,1.5\r\n2,2025-12-09T03:42:00.125Z,-3\r\n"
                     "3,2025-12-09T03:42:01.000Z,1e-07\r\n");

    const QString csv = dir.filePath("a.csv");
    ASSERT_EQ(RunMevrant({"csv", QString::fromStdString(mvx), "-o", csv}).exitCode, 0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), r.out);
}

TEST(Cli, ErrorsGoToStderrWithNonZeroStatus) {
    const Result missing = RunMevrant({"csv", "/nonexistent/x.mvx"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(missing.err.contains("/nonexistent/x.mvx")) << missing.err.toStdString();
    const Result usage = RunMevrant({"render", "--bogus"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_FALSE(usage.err.isEmpty());
    const Result help = RunMevrant({"record", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--count")) << help.out.toStdString();
}

TEST(Cli, RenderWritesAMonochromeBitmapOfTheChart) {
    QTemporaryDir dir;
    const QString mvx = dir.filePath("r.mvx");
    std::vector<TChartItem> items{Sample(ikMoveTo, 0, 10)};
    for (int i = 2; i <= 100; ++i)
        items.push_back(Sample(ikLineTo, i, 50 + 40 * ((i % 10) / 10.0)));
    SaveItems(mvx.toStdString(), items);

    // Black on white; the grid keeps its silver.
    const auto colours = [](const QImage& image, int& black) {
        std::set<QRgb> seen;
        black = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y) & 0xFFFFFF;
                seen.insert(c);
                black += c == 0;
            }
        return seen;
    };
    const QString bmp = dir.filePath("r.bmp");
    const Result r = RunMevrant({"render", mvx, "-o", bmp});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QImage image(bmp);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(449, 361));
    int black = 0;
    EXPECT_EQ(colours(image, black), (std::set<QRgb>{0, 0xC0C0C0, 0xFFFFFF}));
    EXPECT_GT(black, 500); // axes, labels and the line

    const QString small = dir.filePath("s.bmp");
    ASSERT_EQ(RunMevrant({"render", mvx, "-o", small, "--size", "300x200", "--log-y", "--no-grid"}).exitCode,
              0);
    const QImage smallImage(small);
    EXPECT_EQ(smallImage.size(), QSize(300, 200));
    EXPECT_EQ(colours(smallImage, black), (std::set<QRgb>{0, 0xFFFFFF}));

    // Labelled as times of day the x scale draws other texts.
    const QString times = dir.filePath("t.bmp");
    ASSERT_EQ(RunMevrant({"render", mvx, "-o", times, "--time-axis"}).exitCode, 0);
    EXPECT_NE(QImage(times), image);
}

TEST(Cli, RecordTakesExactlyTheSentValuesFromSplitAndBurstInput) {
    QTemporaryDir dir;
    const QString values = dir.filePath("values.txt");
    {
        QFile f(values);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QTextStream s(&f);
        for (int i = 0; i < 1000; ++i)
            s << (i * 0.25 - 50) << "\n";
    }
    SimProcess sim({"--file", values, "--count", "1000", "--burst", "7", "--split", "--max"});
    const QString mvx = dir.filePath("rec.mvx");
    const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    const Result r = RunMevrant(
        {"record", "--port", sim.Path(), "--count", "1000", "--scale", "2", "--offset", "3", "-o", mvx});
    const double after = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "1000");
    const std::vector<TChartItem> items = LoadItems(mvx.toStdString());
    ASSERT_EQ(items.size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(items[i].Kind, i == 0 ? ikMoveTo : ikLineTo) << i;
        ASSERT_EQ(items[i].X, i == 0 ? 0.0 : i + 1.0) << i;
        const float raw = static_cast<float>(i * 0.25 - 50);
        ASSERT_EQ(items[i].Y, static_cast<float>(static_cast<long double>(raw) * 2 + 3)) << i;
        ASSERT_EQ(items[i].Color, 0xFF0000u);
        ASSERT_EQ(items[i].Layer, 1);
        ASSERT_TRUE(items[i].X2 >= before && items[i].X2 <= after && items[i].Y2 == 0) << i; // receive time
    }
}

// Three values per line from the simulator: three runs in the file, channel after channel, and the CSV
// of the recording has a column for each.
TEST(Cli, RecordAndCsvKeepEveryChannel) {
    QTemporaryDir dir;
    SimProcess sim({"--channels", "3", "--wave", "ramp", "--decimals", "0", "--count", "500", "--max"});
    const QString mvx = dir.filePath("rec.mvx"), csv = dir.filePath("rec.csv");
    // Channel 2 and 3 of their own factor and offset; channel 1 takes the one for every channel.
    const Result r = RunMevrant({"record", "--port", sim.Path(), "--count", "500", "--offset", "1", "--scale",
                                 "2=10", "--offset", "3=-0.5", "-o", mvx});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "500");
    const std::vector<TChartItem> items = LoadItems(mvx.toStdString());
    ASSERT_EQ(items.size(), 1500u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::size_t c = i / 500, n = i % 500;
        ASSERT_EQ(items[i].ItemClass, c) << i;
        ASSERT_EQ(items[i].Kind, n == 0 ? ikMoveTo : ikLineTo) << i;
        const double raw = static_cast<double>((n + 100 * c / 3) % 100); // a third of a period on
        ASSERT_EQ(items[i].Y, c == 0 ? raw + 1 : c == 1 ? raw * 10 + 1 : raw - 0.5) << i;
    }
    EXPECT_NE(
        RunMevrant({"record", "--port", sim.Path(), "--count", "1", "--scale", "17=2", "-o", mvx}).exitCode,
        0);
    // The output is the journal's run under a second name, not a copy; a later save over it leaves the
    // run as it was.
    struct stat out {};
    ASSERT_EQ(::stat(mvx.toLocal8Bit().constData(), &out), 0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(out.st_mode & 0777, 0666 & ~mask); // as any saved file, not the journal's private mode
    std::string run;
    for (const JournalRun& r : ListJournalRuns(Journal::DefaultFolder())) {
        struct stat st {};
        if (::stat(r.Path.c_str(), &st) == 0 && st.st_ino == out.st_ino && st.st_dev == out.st_dev) {
            run = r.Path;
            EXPECT_TRUE(r.Saved);
        }
    }
    ASSERT_FALSE(run.empty());
    ASSERT_EQ(RunMevrant({"csv", mvx, "-o", csv}).exitCode, 0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = f.readAll().split('\n');
    EXPECT_EQ(rows[0], "sample,time,value1,value2,value3\r");
    EXPECT_EQ(rows[2].split(',').mid(2), (QList<QByteArray>{"2", "341", "66.5\r"}));
    // render draws the channels as the window would arrange them: plain, one on the right axis, lanes.
    QList<QByteArray> pictures;
    for (const QStringList& how : {QStringList{}, QStringList{"--right", "2"}, QStringList{"--lanes"},
                                   QStringList{"--xy", "1", "--trail", "100"}}) {
        const QString bmp = dir.filePath(QString("r%1.bmp").arg(pictures.size()));
        ASSERT_EQ(RunMevrant(QStringList{"render", mvx, "-o", bmp, "--xmax", "500"} + how).exitCode, 0);
        QFile f(bmp);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        pictures << f.readAll().toHex();
    }
    EXPECT_EQ(QSet<QByteArray>(pictures.begin(), pictures.end()).size(), pictures.size());
    EXPECT_NE(RunMevrant({"render", mvx, "-o", dir.filePath("x.bmp"), "--right", "4"}).exitCode, 0);
    SaveItems(mvx.toStdString(), std::span(items).first(10));
    EXPECT_EQ(LoadItems(run).size(), 1500u);
    EXPECT_EQ(LoadItems(mvx.toStdString()).size(), 10u);
}

TEST(Cli, RecordSavesWhatItGotWhenTheDeviceGoesAway) {
    QTemporaryDir dir;
    SimProcess sim({"--rate", "200"});
    const QString mvx = dir.filePath("gone.mvx");
    QProcess rec;
    rec.start(qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/app/mevrant",
              {"record", "--port", sim.Path(), "--seconds", "60", "--time-axis", "-o", mvx});
    ASSERT_TRUE(rec.waitForStarted());
    QThread::msleep(700);
    sim.Kill();
    ASSERT_TRUE(rec.waitForFinished(20000));
    EXPECT_NE(rec.exitCode(), 0);
    EXPECT_TRUE(
        QString::fromUtf8(rec.readAllStandardError()).contains("WaitForEvent method failed (Error: 1167)"));
    const long long samples = QString::fromUtf8(rec.readAllStandardOutput()).trimmed().toLongLong();
    EXPECT_GT(samples, 10);
    EXPECT_EQ(QFileInfo(mvx).size(), samples * 104);
    // x in seconds since the start, about 0.7 of them.
    const std::vector<TChartItem> items = LoadItems(mvx.toStdString());
    ASSERT_FALSE(items.empty());
    for (std::size_t i = 1; i < items.size(); ++i)
        ASSERT_GE(items[i].X, items[i - 1].X) << i;
    EXPECT_GT(items.back().X, 0.3);
    EXPECT_LT(items.back().X, 30);
}

// Killed mid-acquisition, the window and the recorder leave every sample they took in the journal.
TEST(Cli, AKilledAcquisitionLeavesItsSamplesInTheJournal) {
    QTemporaryDir dir;
    const QString values = dir.filePath("values.txt");
    {
        QFile f(values);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 1; i <= 100000; ++i)
            f.write(QByteArray::number(i) + "\n");
    }
    const QString out = dir.filePath("never.mvx");
    for (const bool window : {true, false}) {
        SCOPED_TRACE(window ? "window" : "record");
        QTemporaryDir home; // private: data, settings and the runtime folder of this run
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.insert(name, home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        SimProcess sim({"--file", values, "--rate", "400"});
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(Mevrant(),
                      window ? QStringList{"--port", sim.Path(), "--start"}
                             : QStringList{"record", "--port", sim.Path(), "--seconds", "60", "-o", out});
        const QString folder = home.filePath("mevrant");
        const auto run = [&] {
            const QStringList runs = QDir(folder).entryList({"*.mvx"}, QDir::Files);
            return runs.isEmpty() ? QString() : QDir(folder).filePath(runs.front());
        };
        // The file has room reserved ahead: the 100th record is there once it is not zero.
        const auto hundred = [&] {
            QFile f(run());
            if (run().isEmpty() || !f.open(QIODevice::ReadOnly) || !f.seek(99 * 104)) return false;
            const QByteArray record = f.read(104);
            return record.size() == 104 && record.count('\0') < 104;
        };
        ASSERT_TRUE(WaitUntil(hundred, 20000));
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_TRUE(ListJournalRuns(folder.toStdString()).front().Unfinished); // and cut to its records
        const std::vector<TChartItem> items = LoadItems(run().toStdString());
        ASSERT_GE(items.size(), 100u);
        for (std::size_t i = 0; i < items.size(); ++i) {
            ASSERT_EQ(items[i].Y, static_cast<double>(i + 1)) << i;
            ASSERT_EQ(items[i].Kind, i ? ikLineTo : ikMoveTo) << i;
        }
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

// --seconds takes a positive finite number of seconds, of any length: anything else is a usage error
// before the port is opened, and a long recording waits in steps a timer can take.
TEST(Cli, SecondsArePositiveAndOfAnyLength) {
    for (const char* value : {"0", "-1", "-0", "nan", "inf", "1e400", "1e-400", "abc", "5s", ""}) {
        SCOPED_TRACE(value);
        const Result r =
            RunMevrant({"record", "--port", "/nonexistent", "--seconds", value, "-o", "x.mvx"}, 20000);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("--seconds needs a positive number")) << r.err.toStdString();
    }
    using std::chrono::milliseconds;
    const double days25 = 25 * 86400.0;
    const std::vector<std::tuple<double, double, milliseconds>> waits = {
        {1.5, 0, milliseconds(1500)},
        {1.5, 1.4999, milliseconds(1)},
        {1.5, 1.5, milliseconds(0)},
        {1.5, 7, milliseconds(0)},
        {1e-300, 0, milliseconds(1)},
        {days25, 0, milliseconds(3600000)},
        {days25, days25 - 0.0004, milliseconds(1)},
        {days25, days25, milliseconds(0)},
        {1e300, 1e9, milliseconds(3600000)},
    };
    for (const auto& [seconds, elapsed, wait] : waits)
        EXPECT_EQ(RecordingWait(seconds, elapsed), wait) << seconds << " " << elapsed;

    QTemporaryDir dir;
    SimProcess sim({"--rate", "200"});
    QElapsedTimer clock;
    clock.start();
    const Result r =
        RunMevrant({"record", "--port", sim.Path(), "--seconds", "1.2", "-o", dir.filePath("s.mvx")}, 20000);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_GE(clock.elapsed(), 1200);
    EXPECT_GT(r.out.trimmed().toLongLong(), 10);
}

// An -o that is a folder, a device or a pipe is refused, before a recording starts, and stays as it was.
TEST(Cli, OutputsThatAreNoRegularFileAreRefused) {
    QTemporaryDir dir;
    const QString mvx = dir.filePath("in.mvx"), folder = dir.filePath("folder"), pipe = dir.filePath("pipe");
    SaveItems(mvx.toStdString(), std::vector<TChartItem>{Sample(ikMoveTo, 0, 1)});
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    for (const QString& out : {folder, pipe, QString("/dev/null")})
        for (const QStringList& args : {QStringList{"render", mvx}, QStringList{"csv", mvx},
                                        QStringList{"record", "--port", "/nonexistent", "--count", "1"}}) {
            SCOPED_TRACE((args.join(' ') + " -o " + out).toStdString());
            const Result r = RunMevrant(args + QStringList{"-o", out}, 20000);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(r.err.contains("Cannot write \"" + out + "\": it is ")) << r.err.toStdString();
        }
    struct stat st {};
    EXPECT_TRUE(::stat(pipe.toLocal8Bit().constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
    EXPECT_TRUE(QDir(folder).isEmpty());
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden),
        (QStringList{"folder", "in.mvx", "pipe"}));
}

// The picture is a BMP written under the name given: another name is refused, and no file appears.
TEST(Cli, RenderWritesTheNameItIsGivenOrNone) {
    QTemporaryDir dir;
    const QString mvx = dir.filePath("in.mvx");
    SaveItems(mvx.toStdString(), std::vector<TChartItem>{Sample(ikMoveTo, 0, 1)});
    for (const char* name : {"pic.png", "pic.BMP", "pic"}) {
        SCOPED_TRACE(name);
        const Result r = RunMevrant({"render", mvx, "-o", dir.filePath(name)});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains("name it \"" + dir.filePath("pic.bmp") + "\"")) << r.err.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"in.mvx"});
}

// On a full disk the CSV and the picture say why they could not be written (no "Unknown error"), and the
// files they were to replace stay whole. The disk is a tiny tmpfs in a mount namespace of its own.
TEST(Cli, AFullDiskNamesTheCauseAndKeepsTheOldFiles) {
    QTemporaryDir dir;
    const QString full = dir.filePath("full"), mvx = dir.filePath("in.mvx");
    if (!TinyDiskPossible(full)) GTEST_SKIP() << "no mount namespace here for a tmpfs";
    std::vector<TChartItem> items;
    for (int i = 0; i < 5000; ++i)
        items.push_back(Sample(i ? ikLineTo : ikMoveTo, i, i * 0.5));
    SaveItems(mvx.toStdString(), items);
    const QString script = "mount -t tmpfs -o size=64k tmpfs " + full + " && cd " + full +
                           " && echo old > a.csv && echo old > a.bmp && " + Mevrant() + " csv " + mvx +
                           " -o a.csv; echo $?; " + Mevrant() + " render " + mvx +
                           " -o a.bmp; echo $?; cat a.csv a.bmp; ls -A";
    const Result r = RunMevrant({}, 60000, QProcessEnvironment::systemEnvironment(),
                                {"unshare", {"-rm", "sh", "-c", script}});
    EXPECT_EQ(r.out, "1\n1\nold\nold\na.bmp\na.csv\n");
    EXPECT_EQ(r.err.count("No space left on device"), 2) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Unknown error")) << r.err.toStdString();
}

// A file of no record, or with a part of a record at its end, loads as before and is reported.
TEST(Cli, FilesOfOddLengthAreTakenAndReported) {
    QTemporaryDir dir;
    std::vector<TChartItem> three{Sample(ikMoveTo, 0, 1), Sample(ikLineTo, 2, 3), Sample(ikLineTo, 3, 4)};
    const QByteArray records(reinterpret_cast<const char*>(three.data()), 3 * sizeof(TChartItem));
    const std::vector<std::tuple<QByteArray, int, QString>> cases = {
        {{}, 0, "holds no record (0 bytes"},
        {QByteArray(50, 'x'), 0, "holds no record (50 bytes"},
        {records + "1234567", 3, "ends in 7 bytes that are no whole record"},
        {records, 3, {}},
    };
    for (const auto& [bytes, count, note] : cases) {
        SCOPED_TRACE(bytes.size());
        const QString mvx = dir.filePath("odd.mvx");
        QFile f(mvx);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        std::ostringstream expected;
        WriteSamplesCsv(expected, std::span(three).first(static_cast<std::size_t>(count)));
        const Result csv = RunMevrant({"csv", mvx});
        const Result render = RunMevrant({"render", mvx, "-o", dir.filePath("odd.bmp")});
        EXPECT_EQ(csv.exitCode, 0);
        EXPECT_EQ(csv.out.toStdString(), expected.str());
        EXPECT_EQ(render.exitCode, 0);
        EXPECT_FALSE(QImage(dir.filePath("odd.bmp")).isNull());
        for (const Result* r : {&csv, &render}) {
            EXPECT_EQ(r->err.contains("warning: \"" + mvx + "\" "), !note.isEmpty()) << r->err.toStdString();
            if (!note.isEmpty()) {
                EXPECT_TRUE(r->err.contains(note)) << r->err.toStdString();
            }
        }
    }
}

// The CSV of a file far larger than the memory the program may take: it is read as it is written.
TEST(Cli, CsvStreamsAFileLargerThanItsMemory) {
#ifdef MEVRANT_SANITIZED
    GTEST_SKIP() << "sanitizers reserve more address space than the limit";
#endif
    QTemporaryDir dir;
    const QString mvx = dir.filePath("large.mvx");
    constexpr qint64 kRecords = (qint64{512} << 20) / 104; // 512 MiB, sparse: records of zeros are no samples
    const std::vector<TChartItem> samples{Sample(ikMoveTo, 0, 1), Sample(ikLineTo, 1, -2),
                                          Sample(ikLineTo, 2, 3)};
    {
        QFile f(mvx);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kRecords * 104));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            ASSERT_TRUE(f.seek(static_cast<qint64>(i) * (kRecords - 1) / 2 * 104));
            f.write(reinterpret_cast<const char*>(&samples[i]), sizeof(TChartItem));
        }
    }
    std::ostringstream expected;
    WriteSamplesCsv(expected, samples);
    const Result r = RunMevrant({}, 60000, QProcessEnvironment::systemEnvironment(),
                                {"sh", {"-c", "ulimit -v 400000 && exec " + Mevrant() + " csv " + mvx}});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.toStdString(), expected.str());
}

int main(int argc, char** argv) {
    // Recordings keep their journal in a folder of their own, not in the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// A device that speaks only when asked: the init commands arrive first, then every poll gets one
// reading, and each reading is one sample, none lost or doubled over 10,000 polls.
TEST(Cli, RecordPollsADeviceThatAnswersOnlyWhenAsked) {
    QTemporaryDir dir;
    const QString log = dir.filePath("heard.txt"), mvx = dir.filePath("polled.mvx");
    constexpr int kPolls = 10000;
    SimProcess sim(
        {"--answer", "--wave", "ramp", "--decimals", "0", "--count", QString::number(kPolls), "--log", log});
    const Result r =
        RunMevrant({"record", "--port", sim.Path(), "--init", "*RST", "--init", "CONF:VOLT:DC 10", "--send",
                    "MEAS?", "--every", "0.001", "--count", QString::number(kPolls), "-o", mvx},
                   120000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QString::number(kPolls));
    // The samples, then the marks: each init command, the poll's start and its end.
    const std::vector<TChartItem> items = LoadItems(mvx.toStdString());
    ASSERT_EQ(items.size(), static_cast<std::size_t>(kPolls) + 4);
    for (int i = 0; i < kPolls; ++i)
        ASSERT_EQ(items[static_cast<std::size_t>(i)].Y, i % 100) << i;
    std::vector<std::string> marks;
    for (std::size_t i = kPolls; i < items.size(); ++i) {
        EXPECT_TRUE(IsEventMark(items[i]));
        marks.push_back(RecordText(items[i]));
    }
    EXPECT_EQ(marks, (std::vector<std::string>{"*RST", "CONF:VOLT:DC 10", "Abfrage MEAS?", "Ende MEAS?"}));
    const Result csv = RunMevrant({"csv", mvx});
    const QStringList rows = csv.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), kPolls + 1);
    EXPECT_EQ(rows[0], "sample,time,value,events");
    EXPECT_TRUE(rows[1].endsWith(",0,*RST; CONF:VOLT:DC 10; Abfrage MEAS?")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].endsWith(",1,")) << rows[2].toStdString();
    EXPECT_TRUE(rows[kPolls].endsWith(",99,Ende MEAS?")) << rows[kPolls].toStdString();
    QFile heard(log);
    ASSERT_TRUE(heard.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(heard.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), kPolls + 2);
    EXPECT_EQ(lines[0], "*RST");
    EXPECT_EQ(lines[1], "CONF:VOLT:DC 10");
    EXPECT_EQ(lines.mid(2).count("MEAS?"), lines.size() - 2); // nothing else was sent

    for (const QStringList& wrong : {QStringList{"--hex", "--send", "FF 0"}, QStringList{"--every", "1"},
                                     QStringList{"--send", "x", "--eol", "crcr"}}) {
        const Result refused =
            RunMevrant(QStringList{"record", "--port", sim.Path(), "--count", "1", "-o", mvx} + wrong);
        EXPECT_EQ(refused.exitCode, 2) << wrong.join(' ').toStdString() << ": " << refused.err.toStdString();
    }
}

// Over loopback: a TCP server's lines byte for byte, and the datagrams of a device that sends whether
// or not anyone listens: every sample after the first is the one after it, none lost or doubled.
TEST(Cli, RecordReadsATcpServerAndDatagrams) {
    QTemporaryDir dir;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString tcp = QString::number(probe.serverPort());
    probe.close();
    SimProcess server({"--tcp-listen", tcp, "--wave", "ramp", "--decimals", "0", "--count", "1000", "--max"});
    const QString viaTcp = dir.filePath("tcp.mvx"), viaUdp = dir.filePath("udp.mvx");
    Result r = RunMevrant({"record", "--source", "tcp://127.0.0.1:" + tcp, "--count", "1000", "-o", viaTcp});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<TChartItem> items = LoadItems(viaTcp.toStdString());
    ASSERT_EQ(items.size(), 1000u);
    for (std::size_t i = 0; i < items.size(); ++i)
        ASSERT_EQ(items[i].Y, static_cast<double>(i % 100)) << i;

    QUdpSocket free;
    ASSERT_TRUE(free.bind(QHostAddress::LocalHost, 0));
    const QString udp = QString::number(free.localPort());
    free.close();
    SimProcess device(
        {"--udp", "127.0.0.1:" + udp, "--wave", "ramp", "--decimals", "0", "--rate", "2000", "--burst", "4"});
    r = RunMevrant({"record", "--source", "udp://127.0.0.1:" + udp, "--count", "500", "-o", viaUdp});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    items = LoadItems(viaUdp.toStdString());
    ASSERT_EQ(items.size(), 500u);
    for (std::size_t i = 1; i < items.size(); ++i)
        ASSERT_EQ(items[i].Y, std::fmod(items[i - 1].Y + 1, 100)) << i;

    for (const QStringList& wrong : {QStringList{"--source", "udp://:1", "--source", "udp://127.0.0.1:1"},
                                     QStringList{"--source", "ftp://x:1"}})
        EXPECT_EQ(RunMevrant(QStringList{"record", "--count", "1", "-o", viaUdp} + wrong).exitCode, 2)
            << wrong.join(' ').toStdString();
}

// A real broker that wants a password: the password comes on standard input (no secret store runs in
// the test, and the user is told so), every message is a sample, a topic's values keep to a channel
// of their own named by its last level, and a restart of the broker is waited out with the run going
// on. A wrong password is the broker's refusal.
TEST(Cli, RecordSubscribesToABrokerAndWaitsOutItsRestart) {
    if (BrokerProcess::Program().isEmpty()) GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap)";
    BrokerProcess broker;
    if (!broker.Start()) GTEST_SKIP() << "no broker could be started: " << broker.Why().toStdString();
    QTemporaryDir dir;
    const QString mvx = dir.filePath("mqtt.mvx");
    const QString source =
        QString("mqtt://%1@127.0.0.1:%2/lab/#").arg(BrokerProcess::kUser).arg(broker.Port());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    QProcess record;
    record.setProcessEnvironment(env);
    record.start(Mevrant(), {"record", "--source", source, "--count", "400", "-o", mvx});
    record.write((broker.Password() + "\n").toUtf8());
    QString err;
    const auto told = [&](const QString& text) { // what record has written to stderr, until `text`
        QElapsedTimer t;
        t.start();
        while (!err.contains(text) && t.elapsed() < 20000 && record.state() != QProcess::NotRunning) {
            record.waitForReadyRead(200);
            err += QString::fromUtf8(record.readAllStandardError());
        }
        return err.contains(text);
    };
    record.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(told("reading " + source)) << err.toStdString();
    EXPECT_TRUE(err.contains("kept in memory for this recording only")) << err.toStdString();
    const auto values = [](int from, int n) {
        QStringList v;
        for (int i = from; i < from + n; ++i)
            v << QString::number(i);
        return v;
    };
    ASSERT_TRUE(broker.Publish("lab/rig/temp", values(0, 100)));
    ASSERT_TRUE(broker.Publish("lab/rig/hum", values(1000, 100)));
    broker.Stop();
    ASSERT_TRUE(told("went away; waiting for it")) << err.toStdString();
    ASSERT_TRUE(broker.Start()) << broker.Why().toStdString();
    ASSERT_TRUE(told(" is back")) << err.toStdString();
    ASSERT_TRUE(broker.Publish("lab/rig/hum", values(1100, 100)));
    ASSERT_TRUE(broker.Publish("lab/rig/temp", values(100, 100)));
    ASSERT_TRUE(record.waitForFinished(30000));
    ASSERT_EQ(record.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(record.readAllStandardOutput().trimmed(), "400") << err.toStdString();

    const QStringList rows = RunMevrant({"csv", mvx}).out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 401);
    EXPECT_EQ(rows[0], "sample,time,temp,hum");
    std::vector<int> temp, hum;
    for (int r = 1; r < rows.size(); ++r) {
        const QStringList f = rows[r].split(',');
        ASSERT_EQ(f.size(), 4) << rows[r].toStdString();
        ASSERT_NE(f[2].isEmpty(), f[3].isEmpty()) << rows[r].toStdString(); // one channel per message
        (f[2].isEmpty() ? hum : temp).push_back(f[2].isEmpty() ? f[3].toInt() : f[2].toInt());
    }
    std::vector<int> wantTemp(200), wantHum(200);
    std::iota(wantTemp.begin(), wantTemp.end(), 0);
    std::iota(wantHum.begin(), wantHum.end(), 1000);
    EXPECT_EQ(temp, wantTemp);
    EXPECT_EQ(hum, wantHum);

    QProcess wrong;
    wrong.setProcessEnvironment(env);
    wrong.start(Mevrant(), {"record", "--source", source, "--count", "1", "-o", mvx});
    wrong.write("not-the-password\n");
    ASSERT_TRUE(wrong.waitForFinished(20000));
    EXPECT_EQ(wrong.exitCode(), 1);
    EXPECT_TRUE(wrong.readAllStandardError().contains("not authorised"));
}

// Two sources in one run, a pseudo-terminal of two channels and a device sending datagrams: every
// sample of both, each source's channels named after it, one file (the journal's run) holding them all,
// and --count counting the lines of both.
TEST(Cli, RecordKeepsEverySampleOfTwoSources) {
    QTemporaryDir dir;
    QUdpSocket free;
    ASSERT_TRUE(free.bind(QHostAddress::LocalHost, 0));
    const QString udp = QString::number(free.localPort());
    free.close();
    SimProcess serial({"--channels", "2", "--wave", "ramp", "--decimals", "0", "--rate", "1000"});
    SimProcess network({"--udp", "127.0.0.1:" + udp, "--wave", "ramp", "--decimals", "0", "--rate", "1000"});
    const QString mvx = dir.filePath("two.mvx");
    const Result r = RunMevrant(
        {"record", "--port", serial.Path(), "--source", "udp://:" + udp, "--count", "900", "-o", mvx});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "900");
    std::map<std::string, std::vector<double>> channels; // by the name in its first record
    std::map<int, std::string> names;
    for (const TChartItem& item : LoadItems(mvx.toStdString())) {
        if (!names.count(item.ItemClass)) names[item.ItemClass] = RecordText(item);
        channels[names[item.ItemClass]].push_back(item.Y);
    }
    ASSERT_EQ(channels.size(), 3u) << r.err.toStdString();
    const std::vector<double>&a = channels["1/1"], &b = channels["1/2"], &c = channels["2/1"];
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.size() + c.size(), 900u);
    EXPECT_GT(c.size(), 100u);
    for (std::size_t i = 0; i < a.size(); ++i) { // the device's own lines, from its first on
        ASSERT_EQ(a[i], static_cast<double>(i % 100)) << i;
        ASSERT_EQ(b[i], static_cast<double>((i + 50) % 100)) << i;
    }
    for (std::size_t i = 1; i < c.size(); ++i) // datagrams sent before the start are not the run's
        ASSERT_EQ(c[i], std::fmod(c[i - 1] + 1, 100)) << i;
}

// mqtts:// with the broker's certificate given by --ca: every value comes over TLS; the system's
// certificates do not vouch for that broker, and the recording says it cannot connect.
TEST(Cli, RecordReadsABrokerOverTlsCheckedAgainstItsCertificate) {
    if (BrokerProcess::Program().isEmpty()) GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap)";
    BrokerProcess broker(true);
    if (!broker.Start()) GTEST_SKIP() << "no broker could be started: " << broker.Why().toStdString();
    QTemporaryDir dir;
    const QString mvx = dir.filePath("tls.mvx");
    const QString source =
        QString("mqtts://%1@127.0.0.1:%2/lab/v").arg(BrokerProcess::kUser).arg(broker.Port());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    const auto record = [&](QProcess& p, const QStringList& extra) {
        p.setProcessEnvironment(env);
        p.setReadChannel(QProcess::StandardError);
        p.start(Mevrant(), QStringList{"record", "--source", source, "--count", "50", "-o", mvx} + extra);
        p.write((broker.Password() + "\n").toUtf8());
    };
    QProcess good;
    record(good, {"--ca", broker.CaFile()});
    QString err;
    for (QElapsedTimer t;
         !err.contains("reading " + source + "\n") && good.state() != QProcess::NotRunning;) {
        if (!t.isValid()) t.start();
        if (t.elapsed() > 20000) break;
        good.waitForReadyRead(200);
        err += QString::fromUtf8(good.readAllStandardError());
    }
    ASSERT_TRUE(err.contains("reading " + source)) << err.toStdString();
    QStringList values;
    for (int i = 0; i < 50; ++i)
        values << QString::number(i * 0.5);
    ASSERT_TRUE(broker.Publish("lab/v", values));
    ASSERT_TRUE(good.waitForFinished(20000));
    ASSERT_EQ(good.exitCode(), 0) << err.toStdString();
    const std::vector<TChartItem> items = LoadItems(mvx.toStdString());
    ASSERT_EQ(items.size(), 50u);
    for (std::size_t i = 0; i < items.size(); ++i)
        ASSERT_EQ(items[i].Y, static_cast<double>(i) * 0.5) << i;

    QProcess untrusted;
    record(untrusted, {});
    ASSERT_TRUE(untrusted.waitForFinished(20000));
    EXPECT_EQ(untrusted.exitCode(), 1);
    EXPECT_TRUE(untrusted.readAllStandardError().contains("keine Verbindung"));
}

// A kept run forwarded to a broker that wants a password: cut short by kill -9, a second forward goes on
// from the position the broker acknowledged (not from the start); a broker that is away when it starts
// is waited for; a lasting subscriber holds every record at least once.
TEST(Cli, ForwardGoesOnFromWhatTheBrokerAcknowledged) {
    if (BrokerProcess::Program().isEmpty()) GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap)";
    BrokerProcess broker;
    if (!broker.Start()) GTEST_SKIP() << "no broker could be started: " << broker.Why().toStdString();
    QTemporaryDir dir;
    constexpr int kRecords = 100000;
    const QString values = dir.filePath("values.txt"), run = dir.filePath("run.mvx");
    {
        QFile f(values);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < kRecords; ++i)
            f.write(QByteArray::number(i) + '\n');
    }
    SimProcess sim({"--file", values, "--count", QString::number(kRecords), "--max"});
    ASSERT_EQ(RunMevrant({"record", "--port", sim.Path(), "--count", QString::number(kRecords), "-o", run})
                  .exitCode,
              0);

    const QString client = QStandardPaths::findExecutable("mosquitto_sub");
    QProcess sub;
    sub.start(client, broker.SubscriberArguments("lab/#", "lab-sub"));
    QByteArray got;
    for (QElapsedTimer t; !got.contains("lab/probe ready");) {
        if (!t.isValid()) t.start();
        ASSERT_LT(t.elapsed(), 10000) << "the subscriber did not subscribe";
        broker.Publish("lab/probe", {"ready"});
        sub.waitForReadyRead(200);
        got += sub.readAllStandardOutput();
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    const auto forward = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.start(Mevrant(),
                {"forward", run,
                 QString("mqtt://%1@127.0.0.1:%2/lab").arg(BrokerProcess::kUser).arg(broker.Port())});
        p.write((broker.Password() + "\n").toUtf8());
        p.waitForBytesWritten(5000);
    };
    const auto position = [&] { return AcknowledgedCount(QDir(dir.path()), run); };
    QProcess first;
    forward(first);
    QElapsedTimer waited;
    waited.start();
    while (position() == 0 && waited.elapsed() < 20000)
        QThread::msleep(5);
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished(5000);
    const long long cut = position();
    ASSERT_GT(cut, 0) << first.readAllStandardError().toStdString();
    ASSERT_LT(cut, kRecords) << "the forward ended before it was killed";

    broker.Stop();
    QProcess second;
    forward(second);
    second.setReadChannel(QProcess::StandardError);
    QString err;
    for (QElapsedTimer t; !err.contains("keine Verbindung") && second.state() != QProcess::NotRunning;) {
        if (!t.isValid()) t.start();
        ASSERT_LT(t.elapsed(), 20000) << err.toStdString();
        second.waitForReadyRead(200);
        err += QString::fromUtf8(second.readAllStandardError());
    }
    ASSERT_TRUE(broker.Start()) << broker.Why().toStdString();
    ASSERT_TRUE(second.waitForFinished(60000));
    err += QString::fromUtf8(second.readAllStandardError());
    EXPECT_EQ(second.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(QString("went on from record %1 of %2,").arg(cut).arg(kRecords)))
        << err.toStdString();
    EXPECT_EQ(second.readAllStandardOutput().trimmed().toLongLong(), kRecords);
    EXPECT_EQ(position(), kRecords);

    // The subscriber's session outlived the broker's restart; a client of the same id takes what it kept.
    QProcess again;
    if (sub.state() == QProcess::NotRunning) {
        got += sub.readAllStandardOutput();
        again.start(client, broker.SubscriberArguments("lab/#", "lab-sub"));
    }
    QProcess& reading = sub.state() != QProcess::NotRunning ? sub : again;
    std::vector<char> seen(kRecords, 0);
    int lines = 0, distinct = 0;
    waited.restart();
    while (distinct < kRecords && waited.elapsed() < 30000) {
        reading.waitForReadyRead(200);
        got += reading.readAllStandardOutput();
        int end;
        while ((end = got.indexOf('\n')) >= 0) {
            const QByteArray line = got.left(end);
            got.remove(0, end + 1);
            if (!line.startsWith("lab/value ")) continue;
            ++lines;
            const int v = line.mid(10).toInt();
            if (v >= 0 && v < kRecords && !seen[static_cast<std::size_t>(v)]++) ++distinct;
        }
    }
    EXPECT_EQ(distinct, kRecords);
    EXPECT_GE(lines, kRecords);
    sub.kill();
    again.kill();
    sub.waitForFinished();
    again.waitForFinished();
}

namespace {
// What a lasting subscriber of the broker has taken of the values 0 … n − 1 on topic: each value seen
// (true), read until all are or 30 s passed; a client of the same session takes over from one that
// ended (the broker keeps what came meanwhile).
std::vector<bool> TakeValues(const BrokerProcess& broker, QProcess& sub, QByteArray& got, const QString& id,
                             const QByteArray& topic, int from, int n) {
    std::vector<bool> seen(static_cast<std::size_t>(n), false);
    int distinct = 0;
    QProcess again;
    QElapsedTimer waited;
    waited.start();
    while (distinct < n && waited.elapsed() < 30000) {
        QProcess& reading = sub.state() != QProcess::NotRunning ? sub : again;
        if (reading.state() == QProcess::NotRunning) {
            got += sub.readAllStandardOutput();
            again.start(QStandardPaths::findExecutable("mosquitto_sub"),
                        broker.SubscriberArguments("lab/#", id));
        }
        reading.waitForReadyRead(200);
        got += reading.readAllStandardOutput();
        for (int end; (end = got.indexOf('\n')) >= 0; got.remove(0, end + 1)) {
            const QByteArray line = got.left(end);
            if (!line.startsWith(topic + ' ')) continue;
            const int v = line.mid(topic.size() + 1).toInt() - from;
            if (v >= 0 && v < n && !seen[static_cast<std::size_t>(v)])
                seen[static_cast<std::size_t>(v)] = true, ++distinct;
        }
    }
    again.kill();
    again.waitForFinished();
    return seen;
}
} // namespace

// record --forward sends every sample through a broker that restarts mid-run, without the recording
// waiting for it; a recording killed mid-run leaves its forwarding to "mevrant forward", which goes on
// from what the broker acknowledged.
TEST(Cli, RecordForwardsEverySampleThroughABrokerRestartAndAKill) {
    if (BrokerProcess::Program().isEmpty()) GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap)";
    BrokerProcess broker;
    if (!broker.Start()) GTEST_SKIP() << "no broker could be started: " << broker.Why().toStdString();
    QTemporaryDir dir;
    constexpr int kLines = 3000;
    const QString values = dir.filePath("values.txt"), later = dir.filePath("later.txt");
    for (const auto& [path, from] : {std::pair{values, 0}, std::pair{later, kLines}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = from; i < from + 2 * kLines; ++i)
            f.write(QByteArray::number(i) + '\n');
    }
    QProcess sub;
    sub.start(QStandardPaths::findExecutable("mosquitto_sub"),
              broker.SubscriberArguments("lab/#", "rig-sub"));
    QByteArray got;
    for (QElapsedTimer t; !got.contains("lab/probe ready");) {
        if (!t.isValid()) t.start();
        ASSERT_LT(t.elapsed(), 10000) << "the subscriber did not subscribe";
        broker.Publish("lab/probe", {"ready"});
        sub.waitForReadyRead(200);
        got += sub.readAllStandardOutput();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    const QString target = QString("mqtt://%1@127.0.0.1:%2/lab").arg(BrokerProcess::kUser).arg(broker.Port());
    const QDir journal(dir.filePath("data/mevrant"));
    const auto acked = [&](const QString& run) { return AcknowledgedCount(journal, run); };
    const auto newestRun = [&] { return NewestRun(journal); };
    const auto record = [&](QProcess& p, SimProcess& device, int count) {
        p.setProcessEnvironment(env);
        p.setReadChannel(QProcess::StandardError);
        p.start(Mevrant(), {"record", "--port", device.Path(), "--count", QString::number(count), "--forward",
                            target, "-o", dir.filePath("out.mvx")});
        p.write((broker.Password() + "\n").toUtf8());
        p.waitForBytesWritten(5000);
    };
    const auto waitFor = [](const std::function<bool()>& holds) {
        QElapsedTimer t;
        t.start();
        while (!holds() && t.elapsed() < 20000)
            QThread::msleep(10);
        return holds();
    };

    // The broker goes away for a while in the middle of the run.
    SimProcess first({"--file", values, "--count", QString::number(kLines), "--rate", "1000"});
    QProcess running;
    record(running, first, kLines);
    ASSERT_TRUE(waitFor([&] { return !newestRun().isEmpty() && acked(newestRun()) > 0; }));
    const QString run = newestRun();
    broker.Stop();
    QThread::msleep(1000);
    ASSERT_TRUE(broker.Start()) << broker.Why().toStdString();
    ASSERT_TRUE(running.waitForFinished(40000));
    const QString err = QString::fromUtf8(running.readAllStandardError());
    ASSERT_EQ(running.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("keine Verbindung") || err.contains("getrennt")) << err.toStdString();
    EXPECT_EQ(acked(run), kLines) << err.toStdString();
    std::vector<bool> seen = TakeValues(broker, sub, got, "rig-sub", "lab/value", 0, kLines);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kLines);

    // A recording killed mid-run: "mevrant forward" sends the rest of its run.
    SimProcess second({"--file", later, "--count", QString::number(2 * kLines), "--rate", "1000"});
    QProcess killed;
    record(killed, second, 2 * kLines);
    ASSERT_TRUE(waitFor([&] { return newestRun() != run && acked(newestRun()) > 0; }));
    const QString cut = newestRun();
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.waitForFinished(5000);
    const long long before = acked(cut);
    QProcess resume;
    resume.setProcessEnvironment(env);
    resume.start(Mevrant(), {"forward", cut, target});
    resume.write((broker.Password() + "\n").toUtf8());
    ASSERT_TRUE(resume.waitForFinished(30000));
    const QString resumed = QString::fromUtf8(resume.readAllStandardError());
    ASSERT_EQ(resume.exitCode(), 0) << resumed.toStdString();
    const int records = resume.readAllStandardOutput().trimmed().toInt();
    EXPECT_GT(records, before);
    EXPECT_TRUE(resumed.contains(QString("went on from record %1 of %2,").arg(before).arg(records)))
        << resumed.toStdString();
    seen = TakeValues(broker, sub, got, "rig-sub", "lab/value", kLines, records);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), records);
    sub.kill();
    sub.waitForFinished();
}
