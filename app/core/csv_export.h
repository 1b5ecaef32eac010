#pragma once
// The samples of an acquisition as CSV (RFC 4180), for "Daten exportieren als CSV (.csv)" and
// "mevrant csv". Plain C++.

#include "chart/core/item.h"

#include <ostream>
#include <span>
#include <string>

// A header row "sample,time,value", then one row per sample record (move-to or line-to) in order: its
// number from 1, its receive time (X2, seconds since 1970-01-01 UTC) as ISO 8601 UTC with milliseconds,
// empty where the record holds none (X2 = 0 or not finite), and its value with a period as decimal
// point. Rows end in CR LF.
void WriteSamplesCsv(std::ostream& out, std::span<const TChartItem> items);

// "2026-12-09T03:42:00.125Z" for a time in seconds since 1970-01-01 UTC.
std::string IsoUtcMilliseconds(double seconds);
