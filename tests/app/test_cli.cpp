#include "app/core/csv_export.h"
#include "app/core/journal.h"
#include "chart/core/item_file.h"
#include "sim_process.h"
#include "tests/reliability/sanitized.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <set>
#include <span>
#include <sstream>
#include <vector>

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

// A journal on a disk that is full: told once, and the recording keeps every sample all the same. The
// full disk is a tiny tmpfs in a mount namespace of its own, where the system allows one.
TEST(Cli, RecordOnAFullDiskSaysSoOnceAndKeepsEverySample) {
    QTemporaryDir dir;
    const QString full = dir.filePath("full"), out = dir.filePath("out.mvx");
    ASSERT_TRUE(QDir().mkpath(full));
    if (QProcess::execute("unshare", {"-rm", "sh", "-c", "mount -t tmpfs -o size=64k tmpfs " + full}) != 0)
        GTEST_SKIP() << "no mount namespace here for a tmpfs";
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
    const Result r = RunMevrant({"record", "--port", sim.Path(), "--count", "500", "-o", mvx});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "500");
    const std::vector<TChartItem> items = LoadItems(mvx.toStdString());
    ASSERT_EQ(items.size(), 1500u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::size_t c = i / 500, n = i % 500;
        ASSERT_EQ(items[i].ItemClass, c) << i;
        ASSERT_EQ(items[i].Kind, n == 0 ? ikMoveTo : ikLineTo) << i;
        ASSERT_EQ(items[i].Y, static_cast<double>((n + 100 * c / 3) % 100)) << i; // a third of a period on
    }
    ASSERT_EQ(RunMevrant({"csv", mvx, "-o", csv}).exitCode, 0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = f.readAll().split('\n');
    EXPECT_EQ(rows[0], "sample,time,value1,value2,value3\r");
    EXPECT_EQ(rows[2].split(',').mid(2), (QList<QByteArray>{"1", "34", "67\r"}));
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

// On a full disk the CSV and the picture say why they could not be written (no "Unknown error"), and the
// files they were to replace stay whole. The disk is a tiny tmpfs in a mount namespace of its own.
TEST(Cli, AFullDiskNamesTheCauseAndKeepsTheOldFiles) {
    QTemporaryDir dir;
    const QString full = dir.filePath("full"), mvx = dir.filePath("in.mvx");
    ASSERT_TRUE(QDir().mkpath(full));
    if (QProcess::execute("unshare", {"-rm", "sh", "-c", "mount -t tmpfs -o size=64k tmpfs " + full}) != 0)
        GTEST_SKIP() << "no mount namespace here for a tmpfs";
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
