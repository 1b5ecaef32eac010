// The device goes away during an acquisition, a hundred times over, in the real window on mevrant-sim:
// every time the error is shown, the window waits for the device until Stop, every received sample is
// kept, and no file descriptor or thread is left behind. Then the same device path comes back and Start
// works. And a device that comes back a hundred times continues one and the same acquisition.

#include "app/core/conversions.h"
#include "app/core/journal.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/raw_pane.h"
#include "chart/kartex.h"
#include "serial/com_led.h"
#include "serial/core/comport.h"
#include "tests/serial/pty_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

int CountEntries(const char* dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

class Unplug : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.isValid());
        // Simulators killed by SIGKILL leave their registration behind: keep those out of the user's folder.
        ::setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
        errorbox::SetShow([this](const QString& m) { errors << m; });
        form = std::make_unique<TForm1>();
        form->SetDecimalSeparator('.');
        form->show();
        QApplication::processEvents();
        link = runtime.filePath("device").toStdString();
        // Whole numbers 1 … 5000, so a received sequence shows any gap or change.
        values = runtime.filePath("values.txt").toStdString();
        std::ofstream out(values);
        for (int i = 1; i <= 5000; ++i)
            out << i << "\n";
    }
    void TearDown() override {
        form.reset();
        errorbox::SetShow({});
    }
    bool Idle() const {
        return !form->Acquiring() && !form->WaitingForDevice() && !form->ComPort1().Connected() &&
               form->ComLed1->State() == lsOff && !form->ComLed1->Blinking() &&
               form->StartButton->isEnabled() && form->GroupBox1->isEnabled() && form->GroupBox2->isEnabled();
    }
    // Waiting for the device: told in the status bar and by the blinking lamp, Start and the groups unusable.
    bool Waiting() const {
        return form->Acquiring() && form->WaitingForDevice() && form->ComLed1->Blinking() &&
               form->PortStatusLabel->text().startsWith(QStringLiteral("Warte auf das Gerät")) &&
               !form->StartButton->isEnabled() && !form->GroupBox1->isEnabled() &&
               !form->GroupBox2->isEnabled();
    }
    // The chart holds exactly the samples, 1, 2, 3 … in order, each shown in the pane.
    void ExpectEverySampleKept(int cycle) {
        const TKartex& k = *form->Kartex1;
        const int n = form->Acq().State().SampleCount;
        ASSERT_EQ(k.ItemCount(), n) << "cycle " << cycle;
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(k.Item(i).Y, i + 1.0) << "cycle " << cycle << ", sample " << i;
        EXPECT_EQ(form->RichEdit1->blockCount(), n) << "cycle " << cycle;
    }

    QTemporaryDir runtime;
    QStringList errors;
    std::unique_ptr<TForm1> form;
    std::string link;
    std::string values;
};

} // namespace

TEST_F(Unplug, HundredUnplugsLeaveNothingBehindAndTheDeviceComesBack) {
    constexpr int kCycles = 100;
    const QString gone = QStringLiteral("WaitForEvent method failed (Error: 1167)");
    int fdsAfterFirst = 0, threadsAfterFirst = 0, fdsMax = 0, threadsMax = 0, samples = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        errors.clear();
        auto sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--link", link, "--file", values, "--decimals", "0", "--rate", "1000"});
        ASSERT_FALSE(sim->Device().empty());
        form->SelectPort(QString::fromStdString(link));
        form->StartButtonClick();
        ASSERT_TRUE(form->Acquiring()) << "cycle " << cycle << ": " << errors.join("; ").toStdString();
        ASSERT_EQ(form->ComLed1->State(), lsOn);
        ASSERT_TRUE(WaitUntil([&] { return form->Acq().State().SampleCount >= 5; })) << "cycle " << cycle;

        sim.reset(); // SIGKILL: the device is gone at once
        ASSERT_TRUE(WaitUntil([&] { return Waiting(); })) << "cycle " << cycle;
        // The port's report is posted from its event thread beside the loss: it may come a moment later.
        WaitUntil([&] { return !errors.isEmpty(); }, 5);
        EXPECT_EQ(errors, QStringList{gone}) << "cycle " << cycle;
        form->StopButtonClick(); // the device does not come back
        ASSERT_TRUE(Idle()) << "cycle " << cycle;
        ExpectEverySampleKept(cycle);
        samples += form->Acq().State().SampleCount;

        QApplication::processEvents();
        const int fds = CountEntries("/proc/self/fd");
        const int threads = CountEntries("/proc/self/task");
        if (cycle == 0) fdsAfterFirst = fds, threadsAfterFirst = threads;
        fdsMax = std::max(fdsMax, fds);
        threadsMax = std::max(threadsMax, threads);
    }
    const int fdsEnd = CountEntries("/proc/self/fd");
    const int threadsEnd = CountEntries("/proc/self/task");
    std::printf("%d unplugs, %d samples kept; descriptors %d after the first, %d at most, %d at the end; "
                "threads %d after the first, %d at most, %d at the end\n",
                kCycles, samples, fdsAfterFirst, fdsMax, fdsEnd, threadsAfterFirst, threadsMax, threadsEnd);
    EXPECT_LE(fdsEnd, fdsAfterFirst);
    EXPECT_LE(threadsEnd, threadsAfterFirst);

    // The device appears again under the same path: Start works and Stop ends without an error.
    errors.clear();
    SimProcess again({"--link", link, "--file", values, "--decimals", "0", "--rate", "1000"});
    ASSERT_FALSE(again.Device().empty());
    form->StartButtonClick();
    ASSERT_TRUE(form->Acquiring()) << errors.join("; ").toStdString();
    ASSERT_TRUE(WaitUntil([&] { return form->Acq().State().SampleCount >= 20; }));
    form->StopButtonClick();
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    ExpectEverySampleKept(kCycles);
}

TEST_F(Unplug, HundredReconnectsContinueTheSameAcquisition) {
    constexpr int kCycles = 100, kPerCycle = 5;
    form->KeepJournal(runtime.filePath("journal").toStdString());
    form->SelectPort(QString::fromStdString(link));
    int fdsAfterFirst = 0, threadsAfterFirst = 0;
    std::string run;
    std::vector<int> starts; // the item each device's samples begin at
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        // Each device sends 1, 2, 3 over and over, plus 1000 times its cycle, until it is killed.
        std::ofstream(values) << cycle * 1000 + 1 << "\n"
                              << cycle * 1000 + 2 << "\n"
                              << cycle * 1000 + 3 << "\n";
        SimProcess sim(
            {"--link", link, "--file", values, "--count", "1000000", "--decimals", "0", "--rate", "1000"});
        ASSERT_FALSE(sim.Device().empty());
        starts.push_back(form->Kartex1->ItemCount());
        if (cycle == 0) {
            form->StartButtonClick();
            run = form->RunJournal().Path();
        }
        ASSERT_TRUE(WaitUntil([&] { return form->Kartex1->ItemCount() >= starts.back() + kPerCycle; }))
            << "cycle " << cycle;
        ASSERT_FALSE(form->WaitingForDevice());
        ASSERT_EQ(form->ComLed1->State(), lsOn);
        sim.Terminate();
        ASSERT_TRUE(WaitUntil([&] { return Waiting(); })) << "cycle " << cycle;
        ASSERT_EQ(form->RunJournal().Path(), run); // one run, never ended
        ASSERT_TRUE(form->RunJournal().Active());
        if (cycle == 0)
            fdsAfterFirst = CountEntries("/proc/self/fd"),
            threadsAfterFirst = CountEntries("/proc/self/task");
    }
    EXPECT_LE(CountEntries("/proc/self/fd"), fdsAfterFirst);
    EXPECT_LE(CountEntries("/proc/self/task"), threadsAfterFirst);
    EXPECT_EQ(errors, QStringList{QStringLiteral("WaitForEvent method failed (Error: 1167)")});
    EXPECT_EQ(form->PortStatusLabel->text(),
              QStringLiteral("Warte auf das Gerät … (%1 × getrennt)").arg(kCycles));

    // One line of samples numbered on throughout, a new stretch at each device; every sample a device
    // sent in its order, each in the pane and in the journal.
    const TKartex& k = *form->Kartex1;
    const int n = k.ItemCount();
    EXPECT_EQ(form->Acq().State().SampleCount, n);
    EXPECT_EQ(form->RichEdit1->blockCount(), n);
    EXPECT_TRUE(k.Store().BackedByFile()); // the list is the run's file
    starts.push_back(n);
    for (int cycle = 0; cycle < kCycles; ++cycle)
        for (int i = starts[cycle]; i < starts[cycle + 1]; ++i) {
            const TChartItem& it = k.Item(i);
            ASSERT_EQ(it.Kind, i == starts[cycle] ? ikMoveTo : ikLineTo) << "item " << i;
            ASSERT_EQ(it.X, i == 0 ? 0 : i + 1) << "item " << i;
            ASSERT_EQ(it.Y, cycle * 1000 + (i - starts[cycle]) % 3 + 1) << "item " << i;
        }
    form->StopButtonClick();
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(form->RunJournal().Active());
    EXPECT_EQ(std::filesystem::file_size(run), n * kChartItemSize);
    EXPECT_EQ(errors.size(), 1);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
