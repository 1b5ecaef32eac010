#pragma once
// Memory for long item lists. Plain C++.

#include "chart/core/item.h"

#include <cstddef>
#include <vector>

// Reserves room for `capacity` items, keeping the items already there. The new block is asked for huge
// pages before it is first touched: filling a list of millions of items otherwise spends most of its
// time in page faults.
void ReserveItems(std::vector<TChartItem>& items, std::size_t capacity);
