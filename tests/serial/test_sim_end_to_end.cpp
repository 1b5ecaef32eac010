// The simulated device end to end: mevrant-sim with split and burst writes, read through TComPort and
// OnRxChar into the acquisition logic, yields exactly the values the device sent, in order.

#include "pty_fixture.h"

#include "app/core/acquisition.h"
#include "app/port_settings.h"
#include "serial/core/comport.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Samples : SampleSink {
    std::vector<double> values;
    void MoveToPoint(int, double, double y, double) override { values.push_back(y); }
    void LineToPoint(int, double, double y, double) override { values.push_back(y); }
};

} // namespace

TEST(SimEndToEnd, SplitBurstStreamGivesEverySentValue) {
    TestApp();
    QTemporaryDir dir;
    const QString file = dir.filePath("values.txt");
    std::vector<float> sent;
    {
        std::ofstream out(file.toStdString());
        for (int i = 0; i < 1000; ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", (i * 37 % 1000) / 10.0 - 20.0);
            out << text << "\n";
            sent.push_back(std::stof(text));
        }
    }
    SimProcess sim(
        {"--count", "1000", "--burst", "7", "--split", "--rate", "2000", "--file", file.toStdString()});
    const std::string device = sim.Device();
    ASSERT_FALSE(device.empty());

    Acquisition acquisition;
    acquisition.State().DataScale = 1;
    Samples samples;
    int notifications = 0;
    bool partialLineSeen = false;
    TComPort port;
    ConfigureMainPort(port);
    port.SetPort(device);
    port.OnRxChar = [&](TCustomComPort& p, int count) {
        std::string text;
        ASSERT_EQ(p.ReadText(text, count), count);
        ++notifications;
        if (text.back() != '\r') partialLineSeen = true;
        acquisition.Receive(text, samples, nullptr);
    };
    std::vector<std::string> errors;
    SetErrorReporter([&](const std::string& m, const std::string&) { errors.push_back(m); });
    port.Open();
    ASSERT_TRUE(WaitUntil([&] { return samples.values.size() >= 1000; }, 120));
    // The simulator ends by itself once the last line was taken; the port then notices the device left.
    ASSERT_TRUE(WaitUntil([&] { return !sim.Running(); }, 60));
    EXPECT_EQ(sim.ExitCode(), 0);
    ASSERT_TRUE(WaitUntil([&] { return !port.Connected(); }, 60));
    SetErrorReporter(nullptr);
    EXPECT_EQ(errors, std::vector<std::string>{"WaitForEvent method failed (Error: 1167)"});

    ASSERT_EQ(samples.values.size(), 1000u);
    for (std::size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(samples.values[i], sent[i]) << "sample " << i;
    EXPECT_TRUE(partialLineSeen); // the split writes did reach the handler in pieces
    EXPECT_GT(notifications, 1);
}

TEST(SimEndToEnd, AReaderThatOpensLateMissesNothing) {
    TestApp();
    SimProcess sim({"--count", "20", "--wave", "ramp", "--decimals", "0", "--max"});
    const std::string device = sim.Device();
    ASSERT_FALSE(device.empty());
    // Nothing is sent while no reader has the device open.
    std::string received;
    TComPort port;
    port.SetPort(device);
    port.OnRxChar = [&](TCustomComPort& p, int count) {
        std::string text;
        p.ReadText(text, count);
        received += text;
    };
    SetErrorReporter([](const std::string&, const std::string&) {});
    QCoreApplication::processEvents();
    port.Open();
    std::string expected;
    for (int i = 0; i < 20; ++i)
        expected += std::to_string(i) + "\r";
    ASSERT_TRUE(WaitUntil([&] { return received.size() >= expected.size(); }));
    EXPECT_EQ(received, expected);
    ASSERT_TRUE(WaitUntil([&] { return !sim.Running(); }));
    port.Close();
    SetErrorReporter(nullptr);
}

TEST(SimEndToEnd, TerminatesCleanlyOnSignalAndRemovesItsLink) {
    TestApp();
    QTemporaryDir dir;
    const QString link = dir.filePath("device");
    SimProcess sim({"--link", link.toStdString()});
    const std::string device = sim.Device();
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(QFileInfo(link).symLinkTarget().toStdString(), device);
    TComPort port;
    port.SetPort(link.toStdString()); // the link works as a port name
    int count = 0;
    port.OnRxChar = [&](TCustomComPort& p, int n) {
        std::string text;
        count += p.ReadText(text, n);
    };
    SetErrorReporter([](const std::string&, const std::string&) {});
    port.Open();
    ASSERT_TRUE(WaitUntil([&] { return count > 0; }));
    sim.Terminate();
    ASSERT_TRUE(WaitUntil([&] { return !sim.Running(); }));
    EXPECT_TRUE(sim.ExitedNormally());
    EXPECT_EQ(sim.ExitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(link));
    ASSERT_TRUE(WaitUntil([&] { return !port.Connected(); }));
    SetErrorReporter(nullptr);
}
