// Acquisition files of the chart: its items written and read as 104-byte records.
#include "chart/core/item_file.h"
#include "chart/kartex.h"

#include <span>
#include <vector>

void TKartex::SaveItemFile(const std::string& fileName) const {
    // The item list, then every further series: channel after channel.
    std::vector<std::span<const TChartItem>> parts;
    for (int s = 0; s < SeriesCount(); ++s) {
        const TItemStore& list = SeriesStore(s);
        parts.emplace_back(list.Items(), static_cast<std::size_t>(list.ItemCount()));
    }
    SaveItemParts(fileName, parts);
}

void TKartex::LoadItemFile(const std::string& fileName, bool /*keep*/) {
    // The records are read into a new list first, so a failure cannot leave the chart half loaded. The
    // keep flag only ever decided whether the old list's memory was reused; a new list serves both.
    store_.AssignBlock(LoadItemBlock(fileName));
    series_.clear();
    Paint();
}
