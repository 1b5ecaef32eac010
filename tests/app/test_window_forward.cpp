// The window's forwarding, through its real widgets: targets set in "Weiterleiten" and remembered
// without a secret, a run from a simulated device written to a real influxd, the status bar telling
// the state through an outage of the database, and the rest sent after Stop without holding the
// window up; the database's count tells whether every sample arrived once.
#include "app/error_box.h"
#include "app/forward_dialog.h"
#include "app/main_window.h"
#include "sim_process.h"
#include "tests/influx_process.h"
#include "tests/wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(WindowForward, EverySampleReachesTheDatabaseAndTheStatusBarTellsTheOutage) {
    if (InfluxProcess::Program().isEmpty()) GTEST_SKIP() << "influxd is not installed (scripts/bootstrap)";
    InfluxProcess db;
    if (!db.Start()) GTEST_SKIP() << "no database could be started: " << db.Why().toStdString();
    db.Query("", "CREATE DATABASE lab");
    QStringList errors;
    errorbox::SetShow([&](const QString& m) { errors << m; });
    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    auto form = std::make_unique<TForm1>();
    form->RememberSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    form->KeepJournal(dir.filePath("journal").toStdString());
    form->show();

    // The dialog takes targets and refuses sources and text that names none, saying why.
    const QString url = QString("influx+http://127.0.0.1:%1/lab").arg(db.HttpPort());
    form->SetForwardDialog([&](ForwardDialog& d) {
        for (const char* refused : {"udp://127.0.0.1:5000", "influx+http://db", "nonsense://x"}) {
            d.UrlEdit()->setText(refused);
            EXPECT_FALSE(d.AddUrl()) << refused;
            EXPECT_FALSE(d.Problem()->text().isEmpty()) << refused;
        }
        d.UrlEdit()->setText(url.chopped(4) + "/lab/"); // the same target, written otherwise
        EXPECT_TRUE(d.AddUrl()) << d.Problem()->text().toStdString();
        d.UrlEdit()->setText(url);
        EXPECT_FALSE(d.AddUrl()); // already there
        d.DeviceEdit()->setText("window rig");
        d.accept();
    });
    form->WeiterleitenClick();
    EXPECT_EQ(form->ForwardUrls(), QStringList{url});
    form->SaveSettings();
    {
        QSettings kept(ini, QSettings::IniFormat);
        EXPECT_EQ(kept.value("forward/targets").toStringList(), QStringList{url});
        EXPECT_EQ(kept.value("forward/device").toString(), "window rig");
    }

    constexpr int kLines = 4000;
    const QString values = dir.filePath("values.txt");
    {
        QFile f(values);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < kLines; ++i)
            f.write(QByteArray::number(i) + '\n');
    }
    SimProcess sim({"--file", values, "--count", QString::number(kLines), "--rate", "1000", "--burst", "20"});
    form->SelectPort(sim.Path());
    form->StartButtonClick();
    ASSERT_TRUE(form->Acquiring()) << errors.join("; ").toStdString();
    const QLabel& status = *form->ForwardStatusLabel;
    ASSERT_TRUE(WaitUntilHolds([&] { return status.text().startsWith("InfluxDB: verbunden, "); }, 20))
        << status.text().toStdString();
    EXPECT_TRUE(status.text().endsWith(" s zurück")) << status.text().toStdString();
    db.Stop();
    ASSERT_TRUE(WaitUntilHolds([&] { return status.text().startsWith("InfluxDB: getrennt, "); }, 20))
        << status.text().toStdString();
    EXPECT_TRUE(status.text().endsWith(" Messwerte ausstehend")) << status.text().toStdString();

    // The run ends while the database is away: the window does not wait, and the rest goes on from
    // the finished run once the database is back.
    ASSERT_TRUE(WaitUntilHolds([&] { return form->Acq().State().SampleCount == kLines; }, 30));
    QElapsedTimer stopping;
    stopping.start();
    form->StopButtonClick();
    EXPECT_LT(stopping.elapsed(), 3000);
    EXPECT_TRUE(status.text().startsWith("InfluxDB: getrennt, ")) << status.text().toStdString();
    ASSERT_TRUE(db.Start()) << db.Why().toStdString();
    const QString count = "SELECT count(value) FROM mevrant WHERE device='window rig'";
    EXPECT_TRUE(WaitUntilHolds([&] { return db.Number("lab", count) == kLines; }, 30))
        << db.Number("lab", count) << " of " << kLines;
    EXPECT_TRUE(WaitUntilHolds([&] { return status.text().isEmpty(); }, 10)) << status.text().toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    form.reset();
    errorbox::SetShow({});
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
