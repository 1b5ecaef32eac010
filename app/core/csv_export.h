#pragma once
// The samples of an acquisition as CSV (RFC 4180), for "Daten exportieren als CSV (.csv)" and
// "mevrant csv". Plain C++.

#include "chart/core/item.h"
#include "chart/core/item_file.h"

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A header row "sample,time,value", then one row per sample record (move-to or line-to) in order: its
// number from 1, its receive time (X2, seconds since 1970-01-01 UTC) as ISO 8601 UTC with milliseconds,
// empty where the record holds none (X2 = 0, not finite, or not in a year of four digits), and its
// value with a period as decimal point. Rows end in CR LF.
// A list of several channels (see ChannelRanges in chart/core/item_file.h) gives a value column per channel
// instead, named by the channel's name (a text cell, see CsvTextCell) or "value<N>": "sample,time,temp,hum";
// one row per x, in rising x, its number from 1, the time of its first sample, and an empty field where a
// channel has no sample at that x.
// Event marks (kept after the first channel's records, see IsEventMark) add a last column "events":
// on each row the texts of the marks up to that row's x, joined by "; "; a mark after the last sample
// has a row of its own with its time and no values. Without marks the CSV is as it was.
void WriteSamplesCsv(std::ostream& out, std::span<const TChartItem> items);
// The same for channels held apart (a chart's series): channels[c] with its name names[c], and the
// chart's event marks.
void WriteSamplesCsv(std::ostream& out, std::span<const std::span<const TChartItem>> channels,
                     std::span<const std::string> names, std::span<const TChartItem> marks = {});

// The same for an acquisition file, read a piece at a time as the CSV is written: memory does not grow
// with the file, and the text is byte for byte what the list of its records (LoadItems) gives. Throws
// EItemFileError.
void WriteSamplesCsv(std::ostream& out, const ItemFileReader& file);
// The same written to a descriptor (standard output, a file), or with fd < 0 only measured: bytes is
// set to the length of the CSV. Returns 0 or the errno of the write that failed.
int WriteSamplesCsv(int fd, const ItemFileReader& file, std::size_t* bytes = nullptr);

// A text cell: valid UTF-8 as it is, every invalid byte and every control character replaced by U+FFFD;
// a cell a spreadsheet would take as a formula (starting with '=', '+', '-', '@', a tab or a CR) is made
// text by a leading apostrophe. Such a cell and one holding ',' or '"' is quoted (RFC 4180).
std::string CsvTextCell(std::string_view text);

// "2026-12-09T03:42:00.125Z" for a time in seconds since 1970-01-01 UTC.
std::string IsoUtcMilliseconds(double seconds);
