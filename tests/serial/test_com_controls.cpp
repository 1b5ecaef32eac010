// The bound controls as real widgets (offscreen): the selection list follows and sets its port, the
// lamp follows the connection and paints its pictures where they belong.

#include <QApplication>

#include "pty_fixture.h"

#include "serial/com_combo_box.h"
#include "serial/com_led.h"
#include "serial/core/comport.h"
#include "serial/core/comthread.h"
#include "serial/lamp_pictures.h"

#include <QLineEdit>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "serial-widgets-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

int Gray(QRgb c) {
    return qRed(c) + qGreen(c) + qBlue(c);
}

// What the control shows, on a white ground.
QImage Shown(QWidget& w) {
    QImage img(w.size(), QImage::Format_ARGB32);
    img.fill(Qt::white);
    w.render(&img);
    return img;
}

class ComControlsTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
};

} // namespace

TEST_F(ComControlsTest, BaudListSelectsThePortsRateAndAppliesUserChoices) {
    TComPort port;
    TComComboBox box;
    box.SetComProperty(cpBaudRate);
    ASSERT_EQ(box.count(), 16);
    EXPECT_EQ(box.itemText(13), "115200");
    EXPECT_EQ(box.currentIndex(), 0); // no port yet
    box.SetComPort(&port);
    EXPECT_EQ(box.currentIndex(), 7);
    EXPECT_EQ(box.Text(), "9600");
    EXPECT_EQ(box.Style(), csDropDownList);

    int changes = 0;
    box.OnChange = [&](TComComboBox&) { ++changes; };
    box.setCurrentIndex(12); // by program: nothing written
    EXPECT_EQ(port.BaudRate(), br9600);
    emit box.activated(12); // the user picks "57600" with AutoApply off
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(changes, 1);
    box.SetAutoApply(true);
    box.setCurrentIndex(12);
    emit box.activated(12);
    EXPECT_EQ(port.BaudRate(), br57600);
    EXPECT_EQ(changes, 2);

    port.SetBaudRate(br115200);
    box.SyncToPort();
    EXPECT_EQ(box.Text(), "115200");
    box.RefreshItems(); // a refill keeps the selection
    EXPECT_EQ(box.Text(), "115200");
    box.SetText("custom"); // case-insensitive
    EXPECT_EQ(box.currentIndex(), 0);
    box.SetText("123"); // not in the list: unchanged
    EXPECT_EQ(box.currentIndex(), 0);
}

TEST_F(ComControlsTest, PortNotOnThisMachineLeavesNothingSelected) {
    TComPort port;
    port.SetPort("COM5-not-here");
    TComComboBox box;
    box.SetComPort(&port);
    box.SetComProperty(cpPort);
    EXPECT_EQ(box.Style(), csDropDown); // a port list takes typed device paths
    box.SetStyle(csDropDownList);
    box.SyncToPort();
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.Text(), "");
    EXPECT_EQ(port.Port(), "COM5-not-here"); // AutoApply off: the port keeps its name
}

TEST_F(ComControlsTest, PortListShowsARunningSimulatorAndPrefersARealDevice) {
    SimProcess sim({});
    const QString device = QString::fromStdString(sim.Device());
    ASSERT_FALSE(device.isEmpty());

    TComPort port;
    port.SetPort("COM5-not-here");
    TComComboBox box;
    box.SetComPort(&port);
    box.SetComProperty(cpPort);
    EXPECT_GE(box.findText(device), 0);
    box.SetAutoApply(true); // the configured port is missing: a device of this machine is chosen
    EXPECT_NE(port.Port(), "COM5-not-here");
    EXPECT_GE(box.findText(QString::fromStdString(port.Port())), 0);
    EXPECT_EQ(box.Text(), port.Port());

    // A typed path is taken when confirmed.
    box.lineEdit()->setText(device);
    box.lineEdit()->setModified(true);
    emit box.lineEdit()->editingFinished();
    EXPECT_EQ(port.Port(), device.toStdString());
    sim.Terminate();
    ASSERT_TRUE(WaitUntil([&] { return !sim.Running(); }));
    box.RefreshItems();
    EXPECT_LT(box.findText(device), 0); // gone from the list once it ended
}

TEST_F(ComControlsTest, ListForgetsADestroyedPort) {
    auto port = std::make_unique<TComPort>();
    port->SetBaudRate(br115200);
    TComComboBox box;
    box.SetComProperty(cpBaudRate);
    box.SetComPort(port.get());
    EXPECT_EQ(box.currentIndex(), 13);
    port.reset();
    EXPECT_EQ(box.ComPort(), nullptr);
    EXPECT_EQ(box.currentIndex(), 0);
}

TEST_F(ComControlsTest, LampPicturesAreRoundLampsLitAndDark) {
    for (const char* kind : {"RED", "GREEN", "BLUE", "YELLOW", "PURPLE", "BULB"}) {
        const QImage on = LampPicture(std::string("LED") + kind + "ON");
        const QImage off = LampPicture(std::string("LED") + kind + "OFF");
        ASSERT_EQ(on.size(), QSize(15, 15)) << kind;
        ASSERT_EQ(off.size(), QSize(15, 15)) << kind;
        for (const QImage* img : {&on, &off}) {
            EXPECT_EQ(qAlpha(img->pixel(0, 14)), 0) << kind; // transparent corner
            EXPECT_EQ(qAlpha(img->pixel(0, 0)), 0) << kind;
            EXPECT_EQ(qAlpha(img->pixel(7, 7)), 255) << kind;
        }
        EXPECT_GT(Gray(on.pixel(7, 7)), Gray(off.pixel(7, 7)) + 60) << kind; // lit is clearly brighter
    }
    EXPECT_TRUE(LampPicture("LEDNONE").isNull());
}

TEST_F(ComControlsTest, LedFollowsTheConnectionAndPaintsCentred) {
    Pty pty;
    TComPort port;
    port.SetPort(pty.Path());
    TComLed led;
    led.SetKind(lkGreenLight);
    EXPECT_EQ(led.size(), QSize(25, 25));
    std::vector<TLedState> changes;
    led.OnChange = [&](TComLed&, TLedState s) { changes.push_back(s); };
    led.SetComPort(&port);
    EXPECT_EQ(led.State(), lsOff); // dark before the first open

    const QImage on = LampPicture("LEDGREENON");
    const QImage off = LampPicture("LEDGREENOFF");
    port.Open();
    EXPECT_EQ(led.State(), lsOn);
    QImage shown = Shown(led);
    EXPECT_EQ(shown.pixel(5 + 7, 5 + 7), on.pixel(7, 7)); // 15 by 15 at offset 5, 5
    EXPECT_EQ(shown.pixel(4, 4), qRgb(255, 255, 255));
    led.setEnabled(false); // disabled shows the off picture whatever the state
    EXPECT_EQ(Shown(led).pixel(12, 12), off.pixel(7, 7));
    led.setEnabled(true);
    port.Close();
    EXPECT_EQ(led.State(), lsOff);
    EXPECT_EQ(Shown(led).pixel(12, 12), off.pixel(7, 7));
    // Blinking alternates the pictures, lit first, while the state stays the port's; it ends dark.
    led.SetBlinking(true);
    const auto lit = [&](bool bright) { return Shown(led).pixel(12, 12) == (bright ? on : off).pixel(7, 7); };
    EXPECT_TRUE(lit(true));
    ASSERT_TRUE(WaitUntil([&] { return lit(false); }));
    ASSERT_TRUE(WaitUntil([&] { return lit(true); }));
    led.SetBlinking(false);
    EXPECT_TRUE(lit(false));
    EXPECT_EQ(changes, (std::vector<TLedState>{lsOn, lsOff}));

    try {
        led.SetState(lsOn);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Cannot change led state if ComPort is selected");
        EXPECT_EQ(e.ErrorCode(), 19);
    }
    // Binding an open port reads the signal at once.
    port.Open();
    TComLed second;
    second.SetComPort(&port);
    EXPECT_EQ(second.State(), lsOn);
    second.SetComPort(nullptr);
    EXPECT_EQ(second.State(), lsOff);
    second.SetState(lsOn); // no port: the state is the program's
    EXPECT_EQ(second.State(), lsOn);
}

TEST_F(ComControlsTest, LedOnAnOpenPortCannotAttachTwiceAndSurvivesThePort) {
    Pty pty;
    auto port = std::make_unique<TComPort>();
    port->SetPort(pty.Path());
    port->Open();
    TComLed led;
    led.SetComPort(port.get());
    EXPECT_EQ(led.State(), lsOn); // bound to an open port: lit at once
    led.SetComPort(port.get());   // the same port again registers nothing more
    TComLink other;
    port->AttachLink(&other);
    EXPECT_THROW(port->AttachLink(&other), EComPort);
    port->DetachLink(&other);
    // Unbound, the lamp's state is the program's: a link left behind would switch it with the port.
    led.SetComPort(nullptr);
    led.SetState(lsOn);
    port->Close();
    EXPECT_EQ(led.State(), lsOn);
    port->Open();
    led.SetComPort(port.get());
    port.reset(); // closed and gone while bound: the lamp goes dark, forgets it and never touches it again
    EXPECT_EQ(led.ComPort(), nullptr);
    EXPECT_EQ(led.State(), lsOff);
}

TEST_F(ComControlsTest, RingFlashLightsUntilTheTimerEnds) {
    Pty pty;
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents({}); // the test delivers the ring itself
    port.Open();
    TComLed led;
    led.SetLedSignal(lsRing);
    led.SetRingDuration(10);
    led.SetComPort(&port);
    EXPECT_EQ(led.State(), lsOff);
    TComThread::DeliverEvents(port, {evRing});
    EXPECT_EQ(led.State(), lsOn);
    ASSERT_TRUE(WaitUntil([&] { return led.State() == lsOff; }));
    // Another signal no longer reacts to rings.
    led.SetLedSignal(lsCTS);
    TComThread::DeliverEvents(port, {evRing});
    EXPECT_EQ(led.State(), lsOff);
}

TEST_F(ComControlsTest, CustomGlyphsOnlyForTheCustomKind) {
    TComLed led;
    QImage glyph(15, 15, QImage::Format_RGB32);
    glyph.fill(qRgb(0, 0, 255)); // the bottom-left colour: transparent
    for (int y = 4; y < 11; ++y)
        for (int x = 4; x < 11; ++x)
            glyph.setPixel(x, y, qRgb(255, 0, 0));
    led.SetGlyphOn(glyph); // ignored: not a custom lamp
    EXPECT_TRUE(led.GlyphOn().isNull());
    led.SetKind(lkCustom);
    EXPECT_EQ(Shown(led), [] {
        QImage white(25, 25, QImage::Format_ARGB32);
        white.fill(Qt::white);
        return white;
    }()); // no pictures: nothing painted
    led.SetGlyphOn(glyph);
    led.SetGlyphOff(glyph);
    led.SetState(lsOn);
    const QImage shown = Shown(led);
    EXPECT_EQ(shown.pixel(12, 12), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(6, 6), qRgb(255, 255, 255)); // the blue ground was made transparent
}
