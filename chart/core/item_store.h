#pragma once
// The chart's list of drawing items and the rule by which up to five charts show one list.
// Plain C++: the widget forwards its appends and its data sharing here.

#include "chart/core/item.h"
#include "chart/core/item_memory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Records handed to the store whole (a loaded file, a test's list).
using TItemArray = std::vector<TChartItem>;

enum class TShareResult {
    Changed,     // the chart now shows a different list (or became alone)
    Unchanged,   // already used that list: nothing to do
    RefusedSelf, // a chart cannot use its own list
    RefusedUsed, // other charts use this chart's list
    RefusedFull, // the owner already has the maximum number of users
};

inline constexpr std::string_view kShareSelfMessage = "Kartex: Cannot share data with myself";
inline constexpr std::string_view kShareUsedMessage =
    "Kartex: Cannot use foreign data. Other Kartexs are using my own data.";
inline constexpr std::string_view kShareFullMessage = "Kartex: Max. number of data shares exceeded";

// The message box text for a refusal, empty for the other results.
std::string_view ShareRefusalMessage(TShareResult r);

class TItemStore {
public:
    static constexpr int kMaxUsers = 4;
    static constexpr int kDefaultAllocSize = 1000;
    static constexpr int kMaxAllocSize = 1000000;

    TItemStore() = default;
    ~TItemStore();
    TItemStore(const TItemStore&) = delete;
    TItemStore& operator=(const TItemStore&) = delete;

    // x2 goes into the record's X2, which a point of a line does not draw: the acquisition keeps the
    // sample's receive time there.
    void MoveToPoint(double x, double y, double x2 = 0) { AppendPoint(ikMoveTo, x, y, x2); }
    // A move whose record carries a text (up to 17 characters; a line's name), which no reader draws.
    void MoveToPoint(double x, double y, double x2, std::string_view text);
    void LineToPoint(double x, double y, double x2 = 0) { AppendPoint(ikLineTo, x, y, x2); }
    // Sets the text record index carries (up to 17 characters): a line's name that came after its first
    // point. No reader draws the text of a point, so caches over the list stay valid (Generation keeps).
    void SetItemText(int index, std::string_view text);
    // Moves every record of the list, and every later point, to a layer (its own axes): a channel put on
    // another axis. The active layer (the chart's grid and mouse) stays. The records change, so the
    // generation does too.
    void SetLayer(int layer);
    // Gives every record of the list, and every later one, a colour (a channel drawn in another colour).
    void SetColor(TColor color);
    // Appends a whole record as given (the kinds other than move-to and line-to have no append of
    // their own); the record is copied entirely, so no byte of an older slot survives.
    void AppendItem(const TChartItem& item);
    void ClearItems();
    // Replaces the list by the given records (what loading a file does); capacity = count = size.
    void AssignItems(TItemArray records);
    // Replaces the list by the records of a block (a mapped file): count = capacity = its size.
    void AssignBlock(std::shared_ptr<TItemBlock> block);
    // Replaces the list by records [first, first + count) of a block that other lists may show other
    // stretches of (one channel of a loaded file): no copy. The first append copies the stretch into a
    // block of the list's own, so no list ever writes into another's records.
    void AssignBlock(std::shared_ptr<TItemBlock> block, std::size_t first, std::size_t count);

    // From now on the list lives in the file open as fd (read and write, empty): an acquisition's
    // journal. The list must be empty. When the file cannot take more, the list goes on in memory and
    // BackingError() says why. Clearing or replacing the list ends the backing.
    void BackWithFile(int fd);
    // The backing ends: the file is cut to the records the list holds.
    void SealBacking();
    // The backing ends without touching the file: the list goes on in memory with a copy of its items
    // (what a journal that failed needs before it cuts the file).
    void LeaveFile();
    bool BackedByFile() const { return block_ && block_->FileBacked(); }
    const std::string& BackingError() const { return backingError_; }
    // The loaded file the list shows was cut short by someone else (see TItemBlock::FileCut).
    bool FileCut() const;

    int ItemCount() const { return count_; }
    // Changes whenever items already in the list may have changed (cleared, replaced, a partner's other
    // list taken over); appends keep it, so caches over the list can follow appends alone.
    std::uint64_t Generation() const { return generation_; }
    int Capacity() const { return !block_ ? 0 : slice_ ? count_ : static_cast<int>(block_->Size()); }
    const TChartItem& Item(int index) const {
        return block_->Data()[first_ + static_cast<std::size_t>(index)];
    }
    const TChartItem* Items() const { return block_ ? block_->Data() + first_ : nullptr; }

    int AllocSize() const { return allocSize_; }
    void SetAllocSize(int v);
    TColor DataColor() const { return dataColor_; }
    void SetDataColor(TColor c) { dataColor_ = c; }
    TColor FillColor() const { return fillColor_; }
    void SetFillColor(TColor c) { fillColor_ = c; }
    TPenStyle PenStyle() const { return penStyle_; }
    void SetPenStyle(TPenStyle s) { penStyle_ = s; }
    std::uint8_t LineWidth() const { return lineWidth_; }
    void SetLineWidth(std::uint8_t w) { lineWidth_ = w; }
    std::uint8_t ClassDefault() const { return classDefault_; }
    void SetClassDefault(std::uint8_t c);
    int ActiveLayer() const { return activeLayer_; }
    int PointLayer() const { return pointLayer_ > 0 ? pointLayer_ : activeLayer_; }
    void SetActiveLayer(int layer) { activeLayer_ = layer; }

    // Data sharing. `owner` null means: show a list of one's own.
    TShareResult UseDataOf(TItemStore* owner);
    TItemStore* UsesDataOf() const { return owner_; }
    const std::vector<TItemStore*>& Users() const { return users_; }

    // Hands this store's array and count to every chart of its group.
    void Publish();
    // The charts that must repaint after this one: its owner, the owner's other users, its own users.
    std::vector<TItemStore*> Partners() const;

    // Set by the owning widget: repaint if it repaints on changes (used for partners).
    std::function<void()> OnPartnerRepaint;

private:
    void AppendPoint(TChartItemKind kind, double x, double y, double x2);
    // Sets one field of every record; the generation changes when a record did.
    template <typename Field> void SetEveryRecord(Field TChartItem::*field, Field value);
    TChartItem& NextSlot();
    void Leave();
    void Detach(); // an array of its own with the same items
    void TakeFrom(const TItemStore& other);
    void EndBacking();

    std::shared_ptr<TItemBlock> block_;
    int backingFd_ = -1; // the file the list goes to once it needs room
    std::string backingError_;
    int count_ = 0;
    std::size_t first_ = 0; // where the list's records begin in the block
    bool slice_ = false;    // the block holds other lists' records beyond this list's
    std::uint64_t generation_ = 0;
    int allocSize_ = kDefaultAllocSize;
    TColor dataColor_ = 0;
    TColor fillColor_ = 0xC0C0C0;
    TPenStyle penStyle_ = psSolid;
    std::uint8_t lineWidth_ = 1;
    std::uint8_t classDefault_ = 0;
    int activeLayer_ = 1;
    int pointLayer_ = 0; // the layer of appended points when not the active one (SetLayer)

    TItemStore* owner_ = nullptr;
    std::vector<TItemStore*> users_;
};
