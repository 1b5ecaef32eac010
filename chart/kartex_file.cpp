// Acquisition files of the chart: its items written and read as 104-byte records.
#include "chart/core/item_file.h"
#include "chart/kartex.h"

#include <span>
#include <vector>

void TKartex::SaveItemFile(const std::string& fileName) const {
    // The item list, then every further series: channel after channel.
    // The marks follow the first series: they share its class, so the channels stay apart as before.
    std::vector<std::span<const TChartItem>> parts;
    for (int s = 0; s < SeriesCount(); ++s) {
        const TItemStore& list = SeriesStore(s);
        parts.emplace_back(list.Items(), static_cast<std::size_t>(list.ItemCount()));
        if (s == 0 && marks_.ItemCount() > 0)
            parts.emplace_back(marks_.Items(), static_cast<std::size_t>(marks_.ItemCount()));
    }
    SaveItemParts(fileName, parts);
}

void TKartex::LoadItemFile(const std::string& fileName, bool /*keep*/) {
    // The records are read into a new list first, so a failure cannot leave the chart half loaded. The
    // keep flag only ever decided whether the old list's memory was reused; a new list serves both.
    // A file of several channels becomes a series per channel, each a stretch of the one block: the
    // order of drawing is the file's, so the picture is the one the single list gave.
    TLoadedChannels loaded = LoadItemChannels(fileName);
    series_.clear();
    // The marks at the end of the first channel's records go to the marks (a copy: they are few).
    TItemArray marks;
    if (!loaded.Channels.empty()) {
        auto& [begin, end] = loaded.Channels.front();
        const TChartItem* items = loaded.Block->Data();
        std::size_t from = end;
        while (from > begin && IsEventMark(items[from - 1]))
            --from;
        marks.assign(items + from, items + end);
        end = from;
    }
    marks_.AssignItems(std::move(marks));
    if (loaded.Channels.size() == 1 && loaded.Channels.front().second < loaded.Block->Size()) {
        store_.AssignBlock(loaded.Block, 0, loaded.Channels.front().second);
    } else if (loaded.Channels.size() <= 1) {
        store_.AssignBlock(std::move(loaded.Block));
    } else {
        EnsureSeries(static_cast<int>(loaded.Channels.size()));
        for (std::size_t c = 0; c < loaded.Channels.size(); ++c) {
            const auto [begin, end] = loaded.Channels[c];
            SeriesStore(static_cast<int>(c)).AssignBlock(loaded.Block, begin, end - begin);
        }
    }
    Paint();
}
