#include "chart/core/item_store.h"

#include "chart/core/item_memory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

std::string_view ShareRefusalMessage(TShareResult r) {
    switch (r) {
    case TShareResult::RefusedSelf:
        return kShareSelfMessage;
    case TShareResult::RefusedUsed:
        return kShareUsedMessage;
    case TShareResult::RefusedFull:
        return kShareFullMessage;
    default:
        return {};
    }
}

TItemStore::~TItemStore() {
    EndBacking();
    Leave();
    // Users keep the items they show and go on as charts of their own, each with its own copy: appends to
    // a shared array would write into each other's slots.
    for (TItemStore* user : users_) {
        user->owner_ = nullptr;
        user->Detach();
    }
}

void TItemStore::SetAllocSize(int v) {
    if (v >= 1 && v <= kMaxAllocSize) allocSize_ = v;
}

void TItemStore::SetClassDefault(std::uint8_t c) {
    if (c != 255) classDefault_ = c;
}

TChartItem& TItemStore::NextSlot() {
    if (slice_) Detach(); // a stretch of a shared block is never written in place
    const int capacity = Capacity();
    if (count_ >= capacity) {
        constexpr int kFirstFileSlots = 4096;
        if (capacity > INT_MAX - allocSize_) throw std::length_error("chart item list is full");
        // A list in a file starts small and doubles up to its step: a disk with little room still takes
        // a short run, and a channel that sends little reserves little.
        const bool inFile = backingFd_ >= 0 || (block_ && block_->FileBacked());
        const int step = inFile ? std::min(allocSize_, std::max(capacity, kFirstFileSlots)) : allocSize_;
        const auto wanted = static_cast<std::size_t>(capacity + step);
        std::string reason; // why the list leaves its file, when it does
        if (!block_ && backingFd_ >= 0) {
            try {
                block_ = TItemBlock::InFile(backingFd_, wanted);
            } catch (const std::system_error& e) {
                reason = e.what();
            }
        } else if (block_ && block_.use_count() == 1) {
            // A list of its own grows in place (a file by reserving more of it).
            int error = 0;
            if (!block_->Grow(wanted, error) && block_->FileBacked()) reason = std::strerror(error);
        }
        if (Capacity() <= count_) {
            // A new block of the group's own: partners keep reading the old one until the publish. A list
            // that lived in a file goes on in memory from here.
            if (reason.empty() && block_ && block_->FileBacked()) reason = "other charts show the list";
            auto grown = std::make_shared<TItemBlock>(wanted);
            if (block_) std::copy(Items(), Items() + count_, grown->Data());
            block_ = std::move(grown);
        }
        if (!reason.empty()) {
            backingError_ = reason;
            EndBacking();
        }
    }
    // Every so many records (a power of two, so the test costs nothing) the file's pages ahead are
    // made ready.
    constexpr int kReadyEvery = 1 << 14;
    if ((count_ & (kReadyEvery - 1)) == 0) block_->WrittenTo(static_cast<std::size_t>(count_));
    // A slot may hold an older record (a loaded file kept its array): every caller writes it whole.
    return block_->Data()[count_];
}

void TItemStore::BackWithFile(int fd) {
    EndBacking();
    if (count_ != 0) throw std::logic_error("a chart list moves to a file only when empty");
    block_.reset();
    backingError_.clear();
    backingFd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (backingFd_ < 0) backingError_ = std::system_category().message(errno);
}

void TItemStore::SealBacking() {
    if (block_ && block_->FileBacked()) block_->Seal(static_cast<std::size_t>(count_));
    EndBacking();
}

bool TItemStore::FileCut() const {
    return block_ && block_->FileCut();
}

void TItemStore::LeaveFile() {
    if (block_ && block_->FileBacked()) {
        Detach();
        Publish(); // partners leave the mapping too
    }
    EndBacking();
}

void TItemStore::EndBacking() {
    if (backingFd_ >= 0) ::close(backingFd_);
    backingFd_ = -1;
}

void TItemStore::AppendPoint(TChartItemKind kind, double x, double y, double x2) {
    TChartItem& slot = NextSlot();
    slot = MakeItem(kind, x, y, x2, 0, dataColor_);
    slot.Layer = pointLayer_ > 0 ? pointLayer_ : activeLayer_;
    slot.ItemClass = classDefault_;
    slot.PenStyle = penStyle_;
    slot.LineWidth = lineWidth_;
    ++count_;
    Publish();
}

void TItemStore::MoveToPoint(double x, double y, double x2, std::string_view text) {
    AppendPoint(ikMoveTo, x, y, x2);
    SetItemText(count_ - 1, text);
}

void TItemStore::SetItemText(int index, std::string_view text) {
    if (slice_) Detach();
    TChartItem& slot = block_->Data()[first_ + static_cast<std::size_t>(index)];
    const std::size_t length = std::min<std::size_t>(text.size(), sizeof slot.Text - 1);
    slot.Text[0] = static_cast<std::uint8_t>(length);
    if (length > 0) std::memcpy(slot.Text + 1, text.data(), length); // an empty view may hold no pointer
    std::memset(slot.Text + 1 + length, 0, sizeof slot.Text - 1 - length); // nothing of a longer name stays
}

template <typename Field> void TItemStore::SetEveryRecord(Field TChartItem::*field, Field value) {
    const TChartItem* begin = Items();
    if (std::all_of(begin, begin + count_, [&](const TChartItem& it) { return it.*field == value; })) return;
    if (slice_) Detach(); // a loaded file's pages are copied on write
    TChartItem* items = block_->Data() + first_;
    for (int i = 0; i < count_; ++i)
        items[i].*field = value;
    ++generation_;
}

void TItemStore::SetLayer(int layer) {
    pointLayer_ = layer;
    SetEveryRecord(&TChartItem::Layer, static_cast<std::int32_t>(layer));
}

void TItemStore::SetColor(TColor color) {
    dataColor_ = color;
    SetEveryRecord(&TChartItem::Color, color);
}

void TItemStore::AppendItem(const TChartItem& item) {
    NextSlot() = item;
    ++count_;
    Publish();
}

void TItemStore::ClearItems() {
    ++generation_;
    SealBacking();
    block_.reset();
    count_ = 0;
    first_ = 0;
    slice_ = false;
    Publish();
}

void TItemStore::AssignItems(TItemArray records) {
    if (records.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("too many chart items");
    AssignBlock(records.empty() ? nullptr : std::make_shared<TItemBlock>(std::move(records)));
}

void TItemStore::AssignBlock(std::shared_ptr<TItemBlock> block) {
    if (block && block->Size() > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("too many chart items");
    ++generation_;
    SealBacking();
    count_ = block ? static_cast<int>(block->Size()) : 0;
    block_ = count_ > 0 ? std::move(block) : nullptr;
    first_ = 0;
    slice_ = false;
    Publish();
}

void TItemStore::AssignBlock(std::shared_ptr<TItemBlock> block, std::size_t first, std::size_t count) {
    if (!block || first > block->Size() || count > block->Size() - first)
        throw std::out_of_range("chart item stretch outside its block");
    if (count > static_cast<std::size_t>(INT_MAX)) throw std::length_error("too many chart items");
    ++generation_;
    SealBacking();
    count_ = static_cast<int>(count);
    block_ = count_ > 0 ? std::move(block) : nullptr;
    first_ = count_ > 0 ? first : 0;
    slice_ = count_ > 0 && (first_ != 0 || count != block_->Size());
    Publish();
}

void TItemStore::TakeFrom(const TItemStore& other) {
    if (other.block_ != block_ || other.first_ != first_ || other.count_ < count_) ++generation_;
    block_ = other.block_;
    count_ = other.count_;
    first_ = other.first_;
    slice_ = other.slice_;
}

void TItemStore::Detach() {
    if (!block_) return;
    // A stretch of a shared block takes its own records only; a whole block keeps its free slots.
    const std::size_t size = slice_ ? static_cast<std::size_t>(count_) : block_->Size();
    auto copy = std::make_shared<TItemBlock>(size);
    std::copy(Items(), Items() + size, copy->Data());
    block_ = std::move(copy);
    first_ = 0;
    slice_ = false;
}

void TItemStore::Publish() {
    if (owner_) {
        owner_->TakeFrom(*this);
        for (TItemStore* user : owner_->users_)
            if (user != this) user->TakeFrom(*this);
    }
    for (TItemStore* user : users_)
        user->TakeFrom(*this);
}

std::vector<TItemStore*> TItemStore::Partners() const {
    std::vector<TItemStore*> result;
    if (owner_) {
        result.push_back(owner_);
        for (TItemStore* user : owner_->users_)
            if (user != this) result.push_back(user);
    }
    result.insert(result.end(), users_.begin(), users_.end());
    return result;
}

void TItemStore::Leave() {
    if (!owner_) return;
    auto& list = owner_->users_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    owner_ = nullptr;
}

TShareResult TItemStore::UseDataOf(TItemStore* b) {
    if (b == this) return TShareResult::RefusedSelf;
    if (!users_.empty()) return TShareResult::RefusedUsed;
    if (b != nullptr && b == owner_) return TShareResult::Unchanged;
    if (b == nullptr) {
        // Keeps the items it had, now as a list of its own: a copy, since appends to the array it shared
        // would overwrite the former owner's later items.
        Leave();
        Detach();
        return TShareResult::Changed;
    }
    TItemStore* target = b->owner_ ? b->owner_ : b;
    if (target == owner_) return TShareResult::Unchanged; // b is another user of our own owner
    if (static_cast<int>(target->users_.size()) >= kMaxUsers) return TShareResult::RefusedFull;
    Leave();
    TakeFrom(*target);
    owner_ = target;
    target->users_.push_back(this);
    return TShareResult::Changed;
}
