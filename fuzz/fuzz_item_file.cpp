// An acquisition file of arbitrary bytes: loaded, handed to an item store, saved again and compared, then
// loaded into a shown chart (a series per channel, together the file) and rendered in full, once over
// the default range and once over a range taken from the first record. Whatever the file holds, loading
// gives exactly its whole records, the store keeps them unchanged, saving writes the same bytes back (the
// trailing partial record dropped), and rendering neither crashes nor hangs.

#include "chart/core/item_file.h"
#include "chart/core/item_store.h"
#include "chart/kartex.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// One scratch folder per process, removed at exit.
class Scratch {
public:
    Scratch() {
        // tmpfs where there is one: the save flushes to the disk on every run otherwise.
        std::string tmpl = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        tmpl += "/mevrant-fuzz-XXXXXX";
        Check(::mkdtemp(tmpl.data()) != nullptr);
        dir_ = tmpl;
    }
    ~Scratch() {
        std::remove(In().c_str());
        std::remove(Out().c_str());
        ::rmdir(dir_.c_str());
    }
    std::string In() const { return dir_ + "/in.mvx"; }
    std::string Out() const { return dir_ + "/out.mvx"; }

private:
    std::string dir_;
};

// The chart lives for the whole run; the application and it are never destroyed, so nothing of Qt is
// torn down after Qt's own statics.
TKartex& Chart() {
    static TKartex* chart = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char arg0[] = "fuzz_item_file";
        static char* argv[] = {arg0, nullptr};
        new QApplication(argc, argv);
        auto* k = new TKartex();
        k->SetBounds(0, 0, 240, 160);
        k->show();
        return k;
    }();
    return *chart;
}

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    {
        std::ofstream out(scratch.In(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Check(static_cast<bool>(out));
    }
    std::vector<TChartItem> items = LoadItems(scratch.In());
    const std::size_t whole = ItemRecordCount(size) * kChartItemSize;
    Check(items.size() * kChartItemSize == whole);
    Check(whole == 0 || std::memcmp(items.data(), data, whole) == 0);

    TItemStore store;
    store.AssignItems(std::move(items));
    Check(static_cast<std::size_t>(store.ItemCount()) * kChartItemSize == whole);
    // Appending after a load grows the list and leaves the loaded records as they were.
    store.LineToPoint(1.5, -2.5);
    Check(store.Item(store.ItemCount() - 1).Kind == ikLineTo);
    Check(whole == 0 || std::memcmp(store.Items(), data, whole) == 0);

    SaveItems(scratch.Out(), std::span<const TChartItem>(store.Items(), whole / kChartItemSize));
    const std::vector<char> back = ReadAll(scratch.Out());
    Check(back.size() == whole && (whole == 0 || std::memcmp(back.data(), data, whole) == 0));

    TKartex& chart = Chart();
    chart.SetScaleRange(0, 0, -10, 100, 110);
    chart.LoadItemFile(scratch.In(), size % 2 == 0);
    // A file of several channels becomes a series per channel: one after the other they are the file.
    std::size_t at = 0;
    for (int s = 0; s < chart.SeriesCount(); ++s) {
        const TItemStore& list = chart.SeriesStore(s);
        const std::size_t bytes = static_cast<std::size_t>(list.ItemCount()) * kChartItemSize;
        Check(at + bytes <= whole && (bytes == 0 || std::memcmp(list.Items(), data + at, bytes) == 0));
        at += bytes;
    }
    Check(at == whole);
    if (whole > 0) {
        const TChartItem& first = chart.Item(0);
        chart.SetScaleRange(0, first.X, first.Y, first.X2, first.Y2);
        chart.Paint();
    }
    chart.ClearItems();
    return 0;
}
