#include "chart/core/item_memory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it and the writer faults as before
#endif

// One loaded mapping the SIGBUS guard knows (see OnBusError).
struct TMappingGuard {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> cut{false};
};

namespace {
// A file block grows by at least this much at a time: 64 MiB of records.
constexpr std::size_t kFileStep = (64u << 20) / kChartItemSize;
// The pages of a file block are made ready this far ahead of the writer, a stretch at a time. Ready
// pages are dirty zeros the next sync writes out, so the lead stays short.
constexpr std::size_t kReadyAhead = 16u << 20;
constexpr std::size_t kReadyStretch = 1u << 20;
const std::size_t kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

// Loaded files are mapped, and another program may cut one short while it is shown: a read beyond its
// new end raises SIGBUS, which ended the program. The guard knows the loaded mappings; a fault inside
// one puts zero pages over the rest of that mapping (zero records draw nothing) and notes it, and the
// read goes on. A fault anywhere else is passed to whoever handled SIGBUS before.
std::array<TMappingGuard, 64> guarded;
struct sigaction previousBusAction {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (TMappingGuard& g : guarded) {
        const std::uintptr_t begin = g.begin.load(), end = g.end.load();
        if (begin == 0 || at < begin || at >= end) continue;
        const std::uintptr_t from = at / kPage * kPage;
        if (::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            g.cut.store(true);
            return;
        }
    }
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        if (previousBusAction.sa_sigaction) return previousBusAction.sa_sigaction(signal, info, context);
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        return previousBusAction.sa_handler(signal);
    }
    // Not ours and no one else's: the fault is fatal as it would have been.
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);
}

TMappingGuard* Guard(void* data, std::size_t bytes) {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        return ::sigaction(SIGBUS, &action, &previousBusAction) == 0;
    }();
    if (!installed) return nullptr;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    for (TMappingGuard& g : guarded) {
        std::uintptr_t free = 0;
        if (!g.begin.compare_exchange_strong(free, begin)) continue;
        g.cut.store(false);
        g.end.store(begin + bytes);
        return &g;
    }
    return nullptr; // more loaded files at once than the guard keeps: this one is unguarded
}
} // namespace

// Faults the pages ahead of the writer in (MADV_POPULATE_WRITE: allocated and writable, contents
// untouched) on a thread of its own. A new page of the file costs its allocation and zeroing; at
// millions of records a second that is most of the writer's time when it faults them itself.
struct TItemBlock::PageReadier {
    // Held while pages are made ready and while the owner moves or unmaps the mapping.
    std::mutex mapping;
    char* base = nullptr;   // under mapping
    std::size_t mapped = 0; // under mapping
    std::size_t ready = 0;  // bytes from the start made ready; the readier's own
    std::mutex lock;        // guards wanted and stop
    std::condition_variable wake;
    std::size_t wanted = 0;
    bool stop = false;
    std::thread thread;

    void Run() {
        for (;;) {
            std::size_t want = 0;
            {
                std::unique_lock guard(lock);
                wake.wait(guard, [&] { return stop || wanted > ready; });
                if (stop) return;
                want = wanted;
            }
            std::lock_guard held(mapping);
            // Whole pages only: madvise takes a page-aligned start, and the mapping ends anywhere.
            const std::size_t to = std::min({want, mapped, ready + kReadyStretch}) / kPage * kPage;
            if (to <= ready || ::madvise(base + ready, to - ready, MADV_POPULATE_WRITE) != 0) {
                // Nothing mapped there yet, or the kernel does not do it: the writer faults the pages.
                std::lock_guard guard(lock);
                if (wanted <= want) wanted = ready;
                continue;
            }
            ready = to;
        }
    }
};

void ReserveItems(std::vector<TChartItem>& items, std::size_t capacity) {
    if (items.capacity() >= capacity) return;
    std::vector<TChartItem> grown;
    grown.reserve(capacity);
    constexpr std::uintptr_t kHuge = 2u << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(grown.data());
    const std::uintptr_t end = begin + capacity * sizeof(TChartItem);
    const std::uintptr_t first = (begin + kHuge - 1) / kHuge * kHuge, last = end / kHuge * kHuge;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    grown.insert(grown.end(), items.begin(), items.end());
    items.swap(grown);
}

TItemBlock::TItemBlock(std::size_t slots) : heap_(slots) {
    data_ = heap_.data();
    size_ = slots;
}

TItemBlock::TItemBlock(std::vector<TChartItem> records) : heap_(std::move(records)) {
    data_ = heap_.data();
    size_ = heap_.size();
}

TItemBlock::~TItemBlock() {
    StopReadier();
    Unmap();
    if (fd_ >= 0) ::close(fd_);
}

void TItemBlock::StopReadier() {
    if (!readier_) return;
    {
        std::lock_guard guard(readier_->lock);
        readier_->stop = true;
    }
    readier_->wake.notify_one();
    readier_->thread.join();
    readier_.reset();
}

void TItemBlock::WrittenTo(std::size_t slots) {
    if (kind_ != Kind::File || fd_ < 0 || mapped_ == 0) return;
    if (!readier_) {
        readier_ = std::make_unique<PageReadier>();
        readier_->base = reinterpret_cast<char*>(data_);
        readier_->mapped = mapped_;
        readier_->ready = slots * kChartItemSize / kPage * kPage;
        readier_->thread = std::thread([r = readier_.get()] { r->Run(); });
    }
    {
        std::lock_guard guard(readier_->lock);
        readier_->wanted = std::max(readier_->wanted, slots * kChartItemSize + kReadyAhead);
    }
    readier_->wake.notify_one();
}

void TItemBlock::Unmap() {
    if (guard_) {
        guard_->end.store(0);
        guard_->begin.store(0);
        guard_ = nullptr;
    }
    if (kind_ != Kind::Heap && mapped_ > 0) ::munmap(data_, mapped_);
    mapped_ = 0;
}

bool TItemBlock::FileCut() const {
    return guard_ && guard_->cut.load();
}

std::unique_ptr<TItemBlock> TItemBlock::InFile(int fd, std::size_t slots) {
    auto block = std::make_unique<TItemBlock>();
    block->kind_ = Kind::File;
    block->fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (block->fd_ < 0) throw std::system_error(errno, std::generic_category());
    block->data_ = nullptr;
    int error = 0;
    if (!block->Grow(std::max<std::size_t>(slots, 1), error))
        throw std::system_error(error, std::generic_category());
    return block;
}

std::unique_ptr<TItemBlock> TItemBlock::MapFile(int fd, std::size_t records) {
    auto block = std::make_unique<TItemBlock>();
    if (records == 0) return block;
    // Read-only and shared: the file's own pages, which the kernel may drop and read again, and no
    // commitment of memory (a private writable mapping counted the whole file, so a file larger than
    // memory could not be loaded). A loaded list is never written: an append copies it first.
    const std::size_t bytes = records * kChartItemSize;
    void* p = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) throw std::system_error(errno, std::generic_category());
    block->kind_ = Kind::Loaded;
    block->data_ = static_cast<TChartItem*>(p);
    block->size_ = records;
    block->mapped_ = bytes;
    block->guard_ = Guard(p, bytes);
    return block;
}

bool TItemBlock::Grow(std::size_t slots, int& error) {
    if (slots <= size_) return true;
    switch (kind_) {
    case Kind::Heap:
        // Reserved geometrically, so a long acquisition copies each item a bounded number of times.
        if (heap_.capacity() < slots) ReserveItems(heap_, std::max(slots, heap_.capacity() / 2 * 3));
        heap_.resize(slots);
        data_ = heap_.data();
        size_ = slots;
        return true;
    case Kind::Loaded:
        return false;
    case Kind::File:
        break;
    }
    if (fd_ < 0) return false; // sealed
    const std::size_t want = std::max(slots, size_ + std::clamp(size_, std::size_t{1}, kFileStep));
    const std::size_t bytes = want * kChartItemSize;
    if (const int err = ::posix_fallocate(fd_, 0, static_cast<off_t>(bytes)); err != 0) {
        error = err;
        return false;
    }
    // The readier waits while the mapping moves; it goes on at the new place.
    std::unique_lock<std::mutex> held;
    if (readier_) held = std::unique_lock(readier_->mapping);
    void* p = mapped_ ? ::mremap(data_, mapped_, bytes, MREMAP_MAYMOVE)
                      : ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) {
        error = errno;
        return false;
    }
    data_ = static_cast<TChartItem*>(p);
    mapped_ = bytes;
    size_ = want;
    if (readier_) {
        readier_->base = static_cast<char*>(p);
        readier_->mapped = bytes;
    }
    return true;
}

void TItemBlock::Seal(std::size_t records) {
    if (kind_ != Kind::File || fd_ < 0) return;
    StopReadier();
    records = std::min(records, size_);
    if (records == 0) {
        Unmap();
        data_ = nullptr;
    } else if (void* p = ::mremap(data_, mapped_, records * kChartItemSize, 0); p != MAP_FAILED) {
        mapped_ = records * kChartItemSize;
    }
    size_ = records;
    [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(records * kChartItemSize));
    ::close(fd_);
    fd_ = -1;
}
