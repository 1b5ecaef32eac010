// A long run recorded as the window records it, into a chart list that lives in the run's journal file,
// then panned and zoomed: over its whole length, and deep inside it (a thousandth of it, where the pages
// were long dropped from memory). Prints the time to record, the resident anonymous and file memory
// after recording and after the view steps, the run index's bytes per sample, and the median and
// slowest pan and zoom step.
//   build/bench/history_bench [--samples N (default 100000000)] [--folder DIR (default: a temporary one)]

#include "app/core/journal.h"
#include "bench/chart_setup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// A field of /proc/self/status in KiB.
long StatusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size() + 1));
    return -1;
}

struct Steps {
    std::vector<double> ms;
    double Median() {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[ms.size() / 2];
    }
    double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    long long n = 100'000'000;
    QString folder;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--samples") n = std::stoll(argv[i + 1]);
        if (a == "--folder") folder = argv[i + 1];
    }
    QTemporaryDir temp;
    if (folder.isEmpty()) folder = temp.path();

    TKartex k;
    k.show();
    ConfigureLikeMainWindow(k);
    Journal journal;
    journal.Begin(folder.toStdString(), std::time(nullptr));
    k.ClearItems();
    k.SetDataColor(kDataColor);
    journal.Back(k.Store(), 0);

    std::mt19937_64 rng(1);
    std::normal_distribution<double> step(0.0, 2.0);
    double v = 100;
    QElapsedTimer clock;
    clock.start();
    for (long long i = 1; i <= n; ++i) {
        v = std::clamp(v + step(rng), 5.0, 195.0);
        if (i == 1)
            k.MoveToPoint(0, v, 1.7e9);
        else
            k.LineToPoint(static_cast<double>(i), v, 1.7e9 + i * 1e-3);
        if (i % 1'000'000 == 0) journal.Sync(); // the window's once a second, at a million samples a second
    }
    const double recordS = clock.elapsed() / 1000.0;
    k.Store().SealBacking();
    journal.End();
    if (!k.Store().BackingError().empty()) {
        std::fprintf(stderr, "history_bench: the run went to memory: %s\n", k.Store().BackingError().c_str());
        return 1;
    }
    const long anonRecorded = StatusKiB("RssAnon:"), fileRecorded = StatusKiB("RssFile:");

    clock.restart();
    k.SetScaleRange(1, 0, 1, static_cast<double>(n), 200); // the first paint indexes the whole run
    const double firstPaintMs = clock.nsecsElapsed() / 1e6;
    const double indexBytes = static_cast<double>(k.RunIndexBytes()) / static_cast<double>(n);

    // Pan by 5 pixels' worth and zoom by a few percent, over the whole run and over a thousandth of it.
    Steps pan, zoom, deepPan, deepZoom;
    const auto view = [&](Steps& s, double lo, double hi) {
        clock.restart();
        k.SetScaleRange(1, lo, 1, hi, 200);
        s.ms.push_back(clock.nsecsElapsed() / 1e6);
    };
    const auto walk = [&](Steps& p, Steps& z, double lo, double hi) {
        const double w = hi - lo, d = w / 380 * 5;
        for (int i = 0; i < 40; ++i)
            view(p, lo + (i % 2) * d, hi + (i % 2) * d);
        for (int i = 0; i < 40; ++i) {
            const double f = 0.02 * (1 + i % 8);
            view(z, lo + w * f, hi - w * f);
        }
    };
    walk(pan, zoom, 0, static_cast<double>(n));
    std::mt19937_64 where(2);
    for (int jump = 0; jump < 5; ++jump) { // deep inside, at places far apart
        const double lo = std::uniform_real_distribution<double>(0, n * 0.999)(where);
        walk(deepPan, deepZoom, lo, lo + n / 1000.0);
    }
    std::printf("samples=%lld record_s=%.1f record_Msps=%.2f anon_recorded_MiB=%.1f file_recorded_MiB=%.1f "
                "first_paint_ms=%.0f index_bytes_per_sample=%.2f pan_ms=%.2f pan_max_ms=%.2f zoom_ms=%.2f "
                "zoom_max_ms=%.2f deep_pan_ms=%.2f deep_pan_max_ms=%.2f deep_zoom_ms=%.2f "
                "deep_zoom_max_ms=%.2f anon_after_MiB=%.1f file_after_MiB=%.1f\n",
                n, recordS, n / recordS / 1e6, anonRecorded / 1024.0, fileRecorded / 1024.0, firstPaintMs,
                indexBytes, pan.Median(), pan.Max(), zoom.Median(), zoom.Max(), deepPan.Median(),
                deepPan.Max(), deepZoom.Median(), deepZoom.Max(), StatusKiB("RssAnon:") / 1024.0,
                StatusKiB("RssFile:") / 1024.0);
    return 0;
}
