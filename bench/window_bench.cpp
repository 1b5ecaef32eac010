// The main window acquiring from the simulated device, measured from inside: samples per second, chart
// repaints per second, the time from a notification to the next repaint of the chart on screen, the
// time a click takes to be answered, and the CPU time of the whole process.
//   window_bench --sim PATH --seconds S [--max | --replay HZ | --rate HZ] [--channels N] [--xmax X] [--plain]
// Prints one line of key=value pairs. With --max (as fast as the window takes) or --replay HZ (that many
// lines a second) the simulator replays 1,000,000 known lines of N values and every sample is checked
// afterwards: lost, merged or reordered samples show as "bad"; "samples" counts lines.

#include "app/main_chart.h"
#include "app/main_window.h"
#include "chart/kartex.h"
#include "serial/core/comport.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

class PaintCounter : public QObject {
public:
    std::function<void()> OnPaint;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && OnPaint) OnPaint();
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString sim;
    double seconds = 10, rate = 50, replay = 0;
    int channels = 1;
    bool max = false, plain = false;
    QString xmax;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--sim" && i + 1 < args.size()) sim = args[++i];
        if (args[i] == "--seconds" && i + 1 < args.size()) seconds = args[++i].toDouble();
        if (args[i] == "--rate" && i + 1 < args.size()) rate = args[++i].toDouble();
        if (args[i] == "--xmax" && i + 1 < args.size()) xmax = args[++i];
        if (args[i] == "--max") max = true;
        if (args[i] == "--replay" && i + 1 < args.size()) replay = args[++i].toDouble();
        if (args[i] == "--channels" && i + 1 < args.size()) channels = std::clamp(args[++i].toInt(), 1, 16);
        if (args[i] == "--plain") plain = true;
    }
    if (sim.isEmpty()) {
        std::fprintf(stderr, "usage: window_bench --sim PATH --seconds S [--max | --replay HZ | --rate HZ] "
                             "[--channels N] [--xmax X]\n");
        return 2;
    }

    QTemporaryDir dir;
    QStringList simArgs;
    const bool checked = max || replay > 0;
    if (checked) {
        // Line k holds k·N, k·N + 1, … k·N + N − 1: every sample of every channel is known.
        QFile values(dir.filePath("values.txt"));
        if (!values.open(QIODevice::WriteOnly)) return 1;
        for (int i = 0; i < 1000000; ++i) {
            QByteArray line;
            for (int c = 0; c < channels; ++c)
                line += (c ? "," : "") + QByteArray::number(static_cast<qint64>(i) * channels + c);
            values.write(line + '\n');
        }
        values.close();
        if (max)
            simArgs << "--max"
                    << "--burst"
                    << "1000";
        else
            simArgs << "--rate" << QString::number(replay) << "--burst"
                    << QString::number(std::max(1, static_cast<int>(replay / 1000)));
        simArgs << "--file" << values.fileName() << "--count"
                << "1000000000";
    } else {
        simArgs << "--rate" << QString::number(rate) << "--wave"
                << "sine";
    }
    QProcess device;
    device.start(sim, simArgs);
    if (!device.waitForReadyRead(5000)) {
        std::fprintf(stderr, "window_bench: the simulator did not start\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(device.readLine()).trimmed();

    TForm1 form;
    form.show();
    form.KeepJournal(Journal::DefaultFolder()); // as the program does: every run is kept on disk
    form.SelectPort(path);
    if (!xmax.isEmpty()) form.GraphXmaxEdit->setText(xmax);
    form.Kartex1->SetLineReduction(!plain);

    QElapsedTimer clock;
    clock.start();
    std::vector<double> screenLatency, clickLatency;
    double pendingSample = -1; // time of the first notification not yet on screen
    long long paints = 0, notifications = 0;
    bool measuring = false;

    TComPort& port = form.ComPort1();
    auto handler = port.OnRxChar;
    // Cost of the receive handler per sample, with the sample count it was measured at.
    struct HandlerCost {
        int atSample;
        int samples;
        double ms;
    };
    std::vector<HandlerCost> costs;
    port.OnRxChar = [&](TCustomComPort& p, int n) {
        const double start = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const int before = form.Acq().State().SampleCount;
        if (measuring) {
            ++notifications;
            if (pendingSample < 0) pendingSample = start;
        }
        handler(p, n);
        const int added = form.Acq().State().SampleCount - before;
        if (measuring && added > 0)
            costs.push_back({before, added, static_cast<double>(clock.nsecsElapsed()) / 1e6 - start});
    };
    PaintCounter counter;
    counter.OnPaint = [&] {
        if (!measuring) return;
        ++paints;
        if (pendingSample >= 0) {
            screenLatency.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6 - pendingSample);
            pendingSample = -1;
        }
    };
    form.Kartex1->installEventFilter(&counter);

    double clickPosted = -1;
    QObject::connect(form.NormalRadioButton, &QRadioButton::clicked, [&] {
        if (clickPosted >= 0)
            clickLatency.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6 - clickPosted);
        clickPosted = -1;
    });
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (!measuring || clickPosted >= 0) return;
        QRadioButton* b = form.NormalRadioButton;
        const QPointF at(b->width() / 2.0, b->height() / 2.0);
        clickPosted = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QCoreApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonPress, at, b->mapToGlobal(at),
                                                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonRelease, at, b->mapToGlobal(at),
                                                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    if (checked) clicker.start(250);

    form.StartButtonClick();
    // Measure from the first second on: start-up (fonts, first paints) is not the steady state.
    double cpu0 = 0, t0 = 0;
    int samples0 = 0;
    QTimer::singleShot(1000, [&] {
        measuring = true;
        cpu0 = CpuSeconds();
        t0 = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        samples0 = form.Acq().State().SampleCount;
    });
    QTimer::singleShot(static_cast<int>((seconds + 1) * 1000), [] { QCoreApplication::exit(0); });
    QApplication::exec();
    const double endEpoch = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9 - t0;
    const double cpu = CpuSeconds() - cpu0;
    const int samples = form.Acq().State().SampleCount - samples0;
    measuring = false;
    form.StopButtonClick();

    long long bad = 0;
    const auto count = static_cast<long long>(ChartRecordCount(*form.Kartex1));
    if (checked) {
        // Sample k (k ≥ 1) of channel c is stored at index k − 1 of series c with the value c of line
        // k − 1 of the replayed file; the last line may have come in part.
        if (form.Kartex1->SeriesCount() != channels) bad = -1;
        for (int c = 0; c < form.Kartex1->SeriesCount(); ++c) {
            const TItemStore& list = form.Kartex1->SeriesStore(c);
            for (int i = 0; i + 1 < list.ItemCount(); ++i) {
                const double expected = static_cast<float>(static_cast<double>(i % 1000000) * channels + c);
                if (list.Item(i).Y == expected) continue;
                if (bad++ < 2)
                    std::fprintf(stderr,
                                 "window_bench: channel %d sample %d of %d is %.17g, not %.17g (kind %d), "
                                 "received %.3f s before the last, %.3f s before the measurement ended\n",
                                 c + 1, i, list.ItemCount(), list.Item(i).Y, expected, list.Item(i).Kind,
                                 list.Item(list.ItemCount() - 1).X2 - list.Item(i).X2,
                                 endEpoch - list.Item(i).X2);
            }
        }
    }
    // Handler microseconds per sample over the first and the last tenth of the measured notifications.
    const auto perSample = [&](std::size_t from, std::size_t to) {
        double ms = 0;
        long long n = 0;
        for (std::size_t i = from; i < to && i < costs.size(); ++i) {
            ms += costs[i].ms;
            n += costs[i].samples;
        }
        return n > 0 ? 1000.0 * ms / static_cast<double>(n) : 0.0;
    };
    const std::size_t tenth = costs.size() / 10;
    const double earlyUs = perSample(0, tenth), lateUs = perSample(costs.size() - tenth, costs.size());
    // Paints whose oldest sample not yet shown had waited longer than one display frame (20 ms).
    const auto late = static_cast<long long>(
        std::count_if(screenLatency.begin(), screenLatency.end(), [](double ms) { return ms > 20.0; }));
    device.terminate();
    device.waitForFinished(3000);
    std::printf(
        "seconds=%.1f samples=%d rate=%.0f paints_per_s=%.1f screen_ms_median=%.2f screen_ms_max=%.2f "
        "click_ms_median=%.1f click_ms_max=%.1f clicks=%zu cpu_percent=%.2f items=%lld bad=%lld "
        "notifications=%lld handler_us_per_sample_early=%.2f handler_us_per_sample_late=%.2f "
        "late_frames=%lld\n",
        elapsed, samples, samples / elapsed, static_cast<double>(paints) / elapsed,
        Percentile(screenLatency, 0.5), Percentile(screenLatency, 1.0), Percentile(clickLatency, 0.5),
        Percentile(clickLatency, 1.0), clickLatency.size(), 100.0 * cpu / elapsed, count, bad, notifications,
        earlyUs, lateUs, late);
    return 0;
}
