// Acquisition files of the chart: its items written and read as 104-byte records.
#include "chart/core/item_file.h"
#include "chart/kartex.h"

#include <span>

void TKartex::SaveItemFile(const std::string& fileName) const {
    SaveItems(fileName, std::span<const TChartItem>(Items(), static_cast<std::size_t>(ItemCount())));
}

void TKartex::LoadItemFile(const std::string& fileName, bool /*keep*/) {
    // The records are read into a new list first, so a failure cannot leave the chart half loaded. The
    // keep flag only ever decided whether the old list's memory was reused; a new list serves both.
    store_.AssignBlock(LoadItemBlock(fileName));
    Paint();
}
