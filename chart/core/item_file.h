#pragma once
// Acquisition files: a headerless sequence of 104-byte TChartItem records, written and read byte for byte.
//
// Both operations report every failure by throwing EItemFileError, whose what() names the file and the
// reason ("Cannot write \"/data/run.mvx\": No space left on device"), ready for the error box.
// SaveItems never leaves a half-written target: it writes a temporary file beside the target, flushes it
// to the disk and renames it over the target only when every byte is there. LoadItems returns a new list
// and touches nothing else, so a caller that assigns the result only on success loads all or nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "chart/core/item.h"
#include "chart/core/item_memory.h"

class EItemFileError : public std::runtime_error {
public:
    EItemFileError(const std::string& action, std::string fileName, std::string reason);

    const std::string& FileName() const { return fileName_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string fileName_;
    std::string reason_;
};

// Writes the items in order; an empty list gives a file of length 0. Throws EItemFileError.
void SaveItems(const std::string& fileName, std::span<const TChartItem> items);
// Writes the lists one after the other, as one file.
void SaveItemParts(const std::string& fileName, std::span<const std::span<const TChartItem>> parts);

// Writes any file whole or not at all, as SaveItems does: write(fd) puts the contents into a new file
// beside the target and returns 0 or the errno of its failure; that file is flushed to the disk and
// renamed over the target. Where no file can be made beside it (a writable file in a folder the user may
// not write), the target is rewritten in place once size() bytes, what write writes, are reserved. A
// target that is a folder, a device or a pipe is refused. Throws EItemFileError; what write throws
// passes on, and the target stays as it was in every case.
void SaveWholeFile(const std::string& fileName, const std::function<int(int fd)>& write,
                   const std::function<std::size_t()>& size);

// Puts a finished file under the name fileName as well, with no copy: a hard link beside the target,
// renamed over it (whole or not at all, as SaveWholeFile). Both names are then one file; SaveWholeFile
// replaces such a file by a new one and never rewrites it in place, so a later save under either name
// leaves the other as it was. False when it cannot (another file system, one without links, a target
// that is no regular file or may not be written): the caller then writes the file itself.
bool LinkWholeFile(const std::string& source, const std::string& fileName);

// Reads every whole record of the file in order; a trailing part shorter than a record is ignored.
// Records are taken as they are. Throws EItemFileError (also when memory for the list runs out).
std::vector<TChartItem> LoadItems(const std::string& fileName);

// An acquisition file open for reading a record or a stretch of records at a time: a pass over a file
// larger than memory ("mevrant csv"). It holds the whole records the file has when it is opened, as
// LoadItems takes them (any number of them). Throws EItemFileError, also when the file has become shorter.
class ItemFileReader {
public:
    explicit ItemFileReader(const std::string& fileName);
    ~ItemFileReader();
    ItemFileReader(const ItemFileReader&) = delete;
    ItemFileReader& operator=(const ItemFileReader&) = delete;

    std::uint64_t Length() const { return length_; } // in bytes
    std::uint64_t Records() const { return length_ / kChartItemSize; }
    TChartItem Record(std::uint64_t index) const;
    // Records first, first + 1, ... into the span, which must lie within the file's records.
    void Read(std::uint64_t first, std::span<TChartItem> into) const;

private:
    std::string fileName_;
    int fd_ = -1;
    std::uint64_t length_ = 0;
};

// Reads a file as LoadItems does, but a large one (from kMapFrom bytes) is mapped copy-on-write instead of
// read into memory: its pages come from the file as they are drawn, and only the ones in use stay.
inline constexpr std::size_t kMapFrom = 64u << 20;
std::shared_ptr<TItemBlock> LoadItemBlock(const std::string& fileName);

// The channels of a list of records as an acquisition writes them, one after the other: stretches of
// rising item class (the channel − 1), found by bisection, so a file of millions of records costs a few
// dozen reads per channel. A list whose last record's class is not above its first's is one channel
// (whatever its records are). classAt(i) gives record i's class; returns [begin, end) pairs.
template <typename ClassAt>
std::vector<std::pair<std::uint64_t, std::uint64_t>> ChannelRecordRanges(std::uint64_t n,
                                                                         const ClassAt& classAt) {
    if (n == 0) return {};
    if (classAt(n - 1) <= classAt(0)) return {{0, n}};
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (std::uint64_t begin = 0; begin < n;) {
        const std::uint8_t c = classAt(begin);
        // The first record past begin whose class is above c.
        std::uint64_t low = begin, high = n;
        while (low < high) {
            const std::uint64_t mid = low + (high - low) / 2;
            if (classAt(mid) <= c)
                low = mid + 1;
            else
                high = mid;
        }
        const std::uint64_t end = std::max(begin + 1, low);
        ranges.emplace_back(begin, end);
        begin = end;
    }
    return ranges;
}
std::vector<std::pair<int, int>> ChannelRanges(std::span<const TChartItem> items);
std::vector<std::pair<std::uint64_t, std::uint64_t>> ChannelRanges(const ItemFileReader& file);

// The text a record carries (a channel's name on its first record).
std::string RecordText(const TChartItem& item);

// A file loaded as LoadItemBlock loads it, with the stretch of each of its channels (ChannelRanges): the
// chart shows each stretch as a series of its own over the one block, without a copy.
struct TLoadedChannels {
    std::shared_ptr<TItemBlock> Block;
    std::vector<std::pair<std::size_t, std::size_t>> Channels; // [begin, end); none for an empty file
};
TLoadedChannels LoadItemChannels(const std::string& fileName);

// The number of whole records a file of the given length holds.
constexpr std::size_t ItemRecordCount(std::size_t fileLength) {
    return fileLength / kChartItemSize;
}

// Loading takes a file whose length is no multiple of a record, or that holds no record at all, as it
// is (the whole records, or none), but such a file is worth a word to the user: what is odd about a file
// of that length ("holds no record (50 bytes, a record has 104)", "ends in 7 bytes that are no whole
// record ..."), empty for a file of one record or more and nothing else.
std::string ItemFileLengthNote(std::uint64_t fileLength);
