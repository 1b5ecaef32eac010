// The raw-data pane holding its 100,000 lines: the cost of appending a line (one per call, a fresh
// string per line as the window makes them, and in batches as the window appends them), the cost of a
// paint of the view, and the plain-text editor the pane replaced, appending the same way.

#include "app/raw_pane.h"
#include "bench_main.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kLines = 100000;

std::vector<std::string> Readings() {
    std::vector<std::string> lines;
    for (int i = 0; i < 1024; ++i)
        lines.push_back(std::to_string(10000 + i * 37) + "." + std::to_string(100 + i % 900));
    return lines;
}

QStringList Filled() {
    QStringList lines;
    const std::vector<std::string> readings = Readings();
    for (int i = 0; i < kLines; ++i)
        lines << QString::fromStdString(readings[static_cast<std::size_t>(i) % readings.size()]);
    return lines;
}

// A full pane on the screen of the size the window gives it.
struct Pane {
    TRawPane pane;
    explicit Pane(bool show = true) {
        pane.setMaximumBlockCount(kLines);
        pane.resize(161, 450);
        pane.AppendLines(Filled());
        if (show) pane.show();
        QApplication::processEvents();
    }
};

void BM_PaneAppendLine(benchmark::State& state) {
    Pane p;
    const std::vector<std::string> readings = Readings();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& r = readings[i++ & 1023];
        p.pane.appendPlainText(QString::fromLatin1(r.data(), static_cast<qsizetype>(r.size())));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PaneAppendLine);

// As the window appends: the lines of one notification at once.
void BM_PaneAppendBatch(benchmark::State& state) {
    Pane p;
    const std::vector<std::string> readings = Readings();
    const int batch = static_cast<int>(state.range(0));
    std::size_t i = 0;
    QStringList lines;
    for (auto _ : state) {
        state.PauseTiming();
        lines.clear();
        for (int k = 0; k < batch; ++k) {
            const std::string& r = readings[i++ & 1023];
            lines << QString::fromLatin1(r.data(), static_cast<qsizetype>(r.size()));
        }
        state.ResumeTiming();
        p.pane.AppendLines(lines);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PaneAppendBatch)->Arg(16)->Arg(256);

// A paint of the view at the bottom (as while following), with and without everything selected.
void BM_PanePaint(benchmark::State& state) {
    Pane p;
    if (state.range(0)) p.pane.selectAll();
    for (auto _ : state)
        p.pane.viewport()->repaint();
    state.counters["lines"] = p.pane.LinesPainted();
}
BENCHMARK(BM_PanePaint)->Arg(0)->Arg(1)->ArgName("selected");

void BM_PlainTextEditAppendLine(benchmark::State& state) {
    QPlainTextEdit edit;
    edit.setReadOnly(true);
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.setMaximumBlockCount(kLines);
    edit.resize(161, 450);
    edit.setPlainText(Filled().join('\n'));
    edit.show();
    QApplication::processEvents();
    const std::vector<std::string> readings = Readings();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& r = readings[i++ & 1023];
        edit.appendPlainText(QString::fromLatin1(r.data(), static_cast<qsizetype>(r.size())));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainTextEditAppendLine);

} // namespace

int main(int argc, char** argv) {
    return RunChartBenchmarks(argc, argv, [] {});
}
