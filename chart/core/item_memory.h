#pragma once
// Memory for long item lists. Plain C++ on POSIX.

#include "chart/core/item.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Reserves room for `capacity` items, keeping the items already there. The new block is asked for huge
// pages before it is first touched: filling a list of millions of items otherwise spends most of its
// time in page faults.
void ReserveItems(std::vector<TChartItem>& items, std::size_t capacity);

struct TMappingGuard;

// The slots of an item list, zero where unused: on the heap; or a shared mapping of a file, which then
// holds the list's records at their offsets, so the list lives on the disk and the kernel pages it in
// and out (only the pages in use are resident, none of them anonymous); or a copy-on-write mapping of a
// file that was loaded.
class TItemBlock {
public:
    explicit TItemBlock(std::size_t slots = 0);
    explicit TItemBlock(std::vector<TChartItem> records);
    ~TItemBlock();
    TItemBlock(const TItemBlock&) = delete;
    TItemBlock& operator=(const TItemBlock&) = delete;

    // `slots` slots in the file open for reading and writing as fd (the block keeps its own descriptor):
    // the file is made that long and its room reserved, so that a write into the block can never meet a
    // full disk. Throws std::system_error.
    static std::unique_ptr<TItemBlock> InFile(int fd, std::size_t slots);
    // The first `records` records of the file open as fd, mapped copy-on-write. Throws std::system_error.
    static std::unique_ptr<TItemBlock> MapFile(int fd, std::size_t records);

    TChartItem* Data() { return data_; }
    const TChartItem* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    bool FileBacked() const { return fd_ >= 0; }

    // Grows to at least `slots` slots in place, keeping the records. False when it cannot: a loaded file,
    // a sealed one, or a file whose room could not be reserved (then `error` is the system's error code).
    bool Grow(std::size_t slots, int& error);
    // A block in a file ends there: the file is cut to its first `records` records, and the block no
    // longer grows in place.
    void Seal(std::size_t records);
    // A loaded file was cut short by someone else while mapped: the records beyond its new end read as
    // zero from then on.
    bool FileCut() const;
    // The writer has come to slot `slots` of a file block: the pages of the stretch ahead are made ready
    // on a thread of the block's own, so the writer does not stop in a page fault for each new page.
    void WrittenTo(std::size_t slots);

private:
    enum class Kind { Heap, File, Loaded };
    struct PageReadier;
    void Unmap();
    void StopReadier();

    Kind kind_ = Kind::Heap;
    std::vector<TChartItem> heap_;
    TChartItem* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0; // bytes mapped
    int fd_ = -1;
    std::unique_ptr<PageReadier> readier_;
    TMappingGuard* guard_ = nullptr; // a loaded file's entry in the SIGBUS guard
};
