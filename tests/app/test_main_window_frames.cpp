// The window renders its chart once per display frame rather than once per notification: whatever the
// bursts, the picture that stays on screen shows every sample received.
#include "app/main_window.h"
#include "chart/kartex.h"
#include "tests/serial/pty_fixture.h"
#include "tests/wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

bool WaitFor(const std::function<bool()>& done) {
    return WaitUntilHolds(done, 10);
}

void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

// A pseudo-terminal the test writes to and keeps open, so no end of the device redraws the chart; the
// window's events run while it writes, so the port keeps taking what arrives.
class Terminal : public Pty {
public:
    void Write(const std::string& s) {
        std::size_t done = 0;
        while (done < s.size()) {
            const ssize_t n = write(Master(), s.data() + done, s.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            QApplication::processEvents();
        }
    }
};

TEST(MainWindowFrames, TheLastFrameShowsEverySample) {
    TForm1 form;
    form.show();
    QApplication::processEvents();
    for (int burst : {1, 250}) {
        Terminal device;
        form.SelectPort(QString::fromStdString(device.Path()));
        form.GraphXmaxEdit->setText("3000");
        form.GraphYmaxEdit->setText("100");
        QTest::mouseClick(form.StartButton, Qt::LeftButton);
        std::string lines;
        for (int i = 0; i < 3000; ++i) {
            lines += std::to_string(i % 97) + "\r";
            if ((i + 1) % burst == 0) {
                device.Write(lines);
                lines.clear();
            }
        }
        ASSERT_TRUE(WaitFor([&] { return form.Acq().State().SampleCount == 3000; })) << burst;
        Settle(100); // the frame due after the last notification
        const QImage shown = form.Kartex1->PlotBitmap().copy();
        form.Kartex1->Redraw();
        EXPECT_TRUE(shown == form.Kartex1->PlotBitmap()) << "burst " << burst;
        QTest::mouseClick(form.StopButton, Qt::LeftButton);
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
