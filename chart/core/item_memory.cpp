#include "chart/core/item_memory.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

void ReserveItems(std::vector<TChartItem>& items, std::size_t capacity) {
    if (items.capacity() >= capacity) return;
    std::vector<TChartItem> grown;
    grown.reserve(capacity);
#ifdef __linux__
    constexpr std::uintptr_t kHuge = 2u << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(grown.data());
    const std::uintptr_t end = begin + capacity * sizeof(TChartItem);
    const std::uintptr_t first = (begin + kHuge - 1) / kHuge * kHuge, last = end / kHuge * kHuge;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
    grown.insert(grown.end(), items.begin(), items.end());
    items.swap(grown);
}
