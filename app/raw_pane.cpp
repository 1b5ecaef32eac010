#include "app/raw_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Space around the text, as a text document's margin: left always, above the first line only.
constexpr int kMargin = 4;
constexpr int kAutoScrollMs = 50;

// A scroll bar that repaints only when its picture changes. The pane sets range and value with every
// append; once the slider is at its shortest and sits at the end, a further line moves nothing on screen.
// Between Hold and Release the changes are taken together: a range that grows before the value follows
// shows the slider off the end for a moment, which never reaches the screen.
class QuietScrollBar : public QScrollBar {
public:
    explicit QuietScrollBar(Qt::Orientation orientation) : QScrollBar(orientation) {}
    void Hold() { held_ = true; }
    void Release() {
        held_ = false;
        if (changed_ && !Unchanged()) update();
        changed_ = false;
    }

protected:
    void sliderChange(SliderChange change) override {
        if (held_ && !isSliderDown() && repeatAction() == SliderNoAction) {
            changed_ = true;
            return;
        }
        if (Unchanged()) return;
        QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent* event) override {
        QScrollBar::paintEvent(event);
        shown_ = Current();
    }

private:
    // What a style draws a scroll bar from: its parts' places, and whether it stands at either end.
    struct Look {
        bool Valid = false;
        QRect Slider, AddPage, SubPage;
        bool AtMin = false, AtMax = false;
        QStyle::State State;
        QStyle::SubControls Active;
        bool operator==(const Look&) const = default;
    };
    Look Current() const {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const auto part = [&](QStyle::SubControl sc) {
            return style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, this);
        };
        return Look{true,
                    part(QStyle::SC_ScrollBarSlider),
                    part(QStyle::SC_ScrollBarAddPage),
                    part(QStyle::SC_ScrollBarSubPage),
                    opt.sliderValue == opt.minimum,
                    opt.sliderValue == opt.maximum,
                    opt.state,
                    opt.activeSubControls};
    }
    bool Unchanged() const {
        return shown_.Valid && !isSliderDown() && repeatAction() == SliderNoAction && Current() == shown_ &&
               !style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this);
    }
    Look shown_;
    bool held_ = false, changed_ = false;
};

} // namespace

TRawPane::TRawPane(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBar(new QuietScrollBar(Qt::Vertical));
    setHorizontalScrollBar(new QuietScrollBar(Qt::Horizontal));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->installEventFilter(this);
    UpdateMetrics();
    SyncBars();
}

TRawPane::~TRawPane() = default;

// --- The ring -------------------------------------------------------------------------------------

void TRawPane::Push(const QString& line) {
    if (max_ > 0 && count_ >= max_) {
        // Full: the newest line takes the oldest one's slot.
        slots_[static_cast<std::size_t>(head_)] = line;
        if (++head_ == static_cast<int>(slots_.size())) head_ = 0;
        ++first_;
    } else {
        if (count_ == static_cast<int>(slots_.size())) {
            std::size_t capacity = std::max<std::size_t>(256, slots_.size() * 2);
            if (max_ > 0) capacity = std::min(capacity, static_cast<std::size_t>(max_));
            Reshape(capacity);
        }
        slots_[SlotOf(count_)] = line;
        ++count_;
    }
    if (line.size() > longestChars_) {
        longestChars_ = static_cast<int>(line.size());
        longest_ = line;
        widthDirty_ = true;
    }
}

void TRawPane::DropOldest() {
    slots_[static_cast<std::size_t>(head_)] = QString();
    if (++head_ == static_cast<int>(slots_.size())) head_ = 0;
    --count_;
    ++first_;
}

// The lines in order from slot 0, in a ring of the given number of slots (at least count_).
void TRawPane::Reshape(std::size_t capacity) {
    std::vector<QString> ring(capacity);
    for (int i = 0; i < count_; ++i)
        ring[static_cast<std::size_t>(i)] = std::move(slots_[SlotOf(i)]);
    slots_.swap(ring);
    head_ = 0;
}

// A view that shows the last line follows the lines about to come.
void TRawPane::BeginAppend() {
    if (!follow_ && TopIndex() >= MaxTop()) follow_ = true;
    // A document without text has one empty line, which the first appended line replaces.
    if (count_ == 1 && Line(0).isEmpty()) {
        slots_[static_cast<std::size_t>(head_)] = QString();
        count_ = 0;
    }
}

void TRawPane::EndAppend() {
    ScheduleSync();
    Repaint();
}

// Line ends split a text as a text document splits it into blocks: LF, CR, CR LF and U+2029.
void TRawPane::PushText(const QString& text) {
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\n' && c != u'\r' && c != u'\u2029') continue;
        Push(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == QChar('\n')) ++i;
        start = i + 1;
    }
    Push(start == 0 ? text : text.mid(start));
}

void TRawPane::appendPlainText(const QString& text) {
    BeginAppend();
    PushText(text);
    EndAppend();
}

void TRawPane::AppendLines(const QStringList& lines) {
    if (lines.isEmpty()) return;
    BeginAppend();
    for (const QString& line : lines)
        PushText(line);
    EndAppend();
}

void TRawPane::Reset() {
    shown_.Valid = false;                // line numbers start again
    std::vector<QString>().swap(slots_); // gives the memory back
    head_ = count_ = 0;
    first_ = 0;
    follow_ = true;
    top_ = 0;
    longestChars_ = 0;
    longest_.clear();
    widthDirty_ = false;
    widthPx_ = 0;
    anchor_ = cursor_ = Pos{};
    dragging_ = false;
    autoScroll_.stop();
    xOffset_ = 0; // the bars follow in SyncBars
}

void TRawPane::clear() {
    Reset();
    SyncBars();
    Repaint();
}

void TRawPane::setPlainText(const QString& text) {
    Reset();
    PushText(text);
    // A new text is shown from its start.
    follow_ = MaxTop() == 0;
    SyncBars();
    Repaint();
}

QString TRawPane::toPlainText() const {
    qsizetype size = count_;
    for (int i = 0; i < count_; ++i)
        size += Line(i).size();
    QString text;
    text.reserve(size);
    for (int i = 0; i < count_; ++i) {
        if (i > 0) text += QChar('\n');
        text += Line(i);
    }
    return text;
}

void TRawPane::setMaximumBlockCount(int lines) {
    max_ = std::max(0, lines);
    if (max_ == 0) return;
    while (count_ > max_)
        DropOldest();
    if (slots_.size() > static_cast<std::size_t>(max_)) Reshape(static_cast<std::size_t>(max_));
    ScheduleSync();
    Repaint();
}

// --- The view -------------------------------------------------------------------------------------

void TRawPane::UpdateMetrics() {
    // Whole pixels, as the lines of a text layout are placed.
    const QFontMetrics fm(font());
    lineHeight_ = std::max(1, fm.lineSpacing());
    ascent_ = fm.ascent();
    spaceWidth_ = fm.horizontalAdvance(QChar(' '));
    // Widths measured in another font no longer hold.
    widthPx_ = 0;
    widthDirty_ = !longest_.isEmpty();
}

// Lines that fit whole, leaving the margin below the last one.
int TRawPane::Rows() const {
    const int height = viewport()->height() - kMargin - 1;
    return std::max(1, height / lineHeight_);
}

int TRawPane::MaxTop() const {
    return std::max(0, count_ - Rows());
}

int TRawPane::TopIndex() const {
    if (follow_) return MaxTop();
    return static_cast<int>(std::clamp<std::int64_t>(top_ - first_, 0, MaxTop()));
}

int TRawPane::FirstRowY(int top) const {
    return top == 0 ? kMargin : 0;
}

// The row under a height in the view, counted from the first line shown (negative above it).
int TRawPane::RowAt(int y, int y0) const {
    const int dy = y - y0;
    return dy >= 0 ? dy / lineHeight_ : -((-dy + lineHeight_ - 1) / lineHeight_);
}

// The scroll bars follow the lines once per turn of the event loop (or before a paint), not per line.
void TRawPane::ScheduleSync() {
    if (syncPending_) return;
    syncPending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { SyncBars(); }, Qt::QueuedConnection);
}

void TRawPane::SyncBars() {
    syncPending_ = false;
    if (syncing_) { // a bar that appeared or went resized the view: set the bars again afterwards
        ScheduleSync();
        return;
    }
    if (widthDirty_) {
        widthDirty_ = false;
        widthPx_ = std::max(widthPx_,
                            static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(longest_))));
    }
    syncing_ = true;
    const auto quiet = [](QScrollBar* bar) { return dynamic_cast<QuietScrollBar*>(bar); };
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
        if (QuietScrollBar* q = quiet(bar)) q->Hold();
    QScrollBar* v = verticalScrollBar();
    const int top = TopIndex();
    {
        // The vertical bar is always shown: its range, which grows with every append, has no bar to show
        // or hide, and the scroll area's answer to a new range (laying its bars out again) repainted
        // both bars and the pane's background once per notification.
        // A range that cuts the value moves it: that move must reach the scroll area.
        const QSignalBlocker quiet(v->value() <= MaxTop() ? v : nullptr);
        v->setRange(0, MaxTop());
    }
    v->setPageStep(Rows());
    v->setSingleStep(1);
    v->setValue(top);
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width();
    h->setRange(0, std::max(0, widthPx_ + 2 * kMargin + 1 - width));
    h->setPageStep(std::max(1, width));
    h->setSingleStep(20);
    xOffset_ = h->value();
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
        if (QuietScrollBar* q = quiet(bar)) q->Release();
    syncing_ = false;
}

void TRawPane::Repaint() {
    if (!viewport()->isVisible()) {
        shown_.Valid = false; // a view shown again paints whole
        return;
    }
    if (repaintPending_) {
        // More lines before the paint of a scroll: the view paints whole.
        if (scrolled_) Invalidate();
        return;
    }
    repaintPending_ = true;
    if (!ScrollShown()) Invalidate();
}

void TRawPane::Invalidate() {
    shown_.Valid = false;
    scrolled_ = false;
    viewport()->update();
}

// Lines that only moved up keep their pixels: the view moves them and paints the rows below them, so an
// append while following draws its new lines, not every line in view.
bool TRawPane::ScrollShown() {
    const int top = TopIndex();
    const std::int64_t topLine = first_ + top;
    const std::int64_t shift = topLine - shown_.Top;
    const int rows = Rows();
    if (!shown_.Valid || shown_.Y0 != 0 || FirstRowY(top) != 0 || shown_.X != xOffset_ ||
        shown_.Size != viewport()->size() || shift <= 0 || shift >= rows || hasSelection())
        return false;
    const int kept = static_cast<int>(std::min<std::int64_t>(rows - shift, shown_.End - topLine));
    if (kept <= 0) return false;
    const int w = viewport()->width(), h = viewport()->height();
    viewport()->scroll(0, -static_cast<int>(shift) * lineHeight_);
    viewport()->update(0, kept * lineHeight_, w, h - kept * lineHeight_);
    scrolled_ = true;
    return true;
}

void TRawPane::scrollContentsBy(int dx, int dy) {
    xOffset_ = horizontalScrollBar()->value();
    if (!syncing_ && dy != 0) {
        // The user moved the view: it follows again once it shows the last line.
        const QScrollBar* v = verticalScrollBar();
        follow_ = v->value() >= v->maximum();
        top_ = first_ + v->value();
    }
    // The vertical bar following the lines moves nothing: what moved the lines asked for their paint.
    if (syncing_ && dx == 0) return;
    Invalidate();
}

void TRawPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    SyncBars();
}

void TRawPane::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        SyncBars();
        Invalidate();
    }
}

void TRawPane::Layout(QTextLayout& layout, const QString& text) const {
    layout.setText(text);
    layout.setFont(font());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) line.setLeadingIncluded(true);
    layout.endLayout();
}

void TRawPane::paintEvent(QPaintEvent* event) {
    repaintPending_ = false;
    scrolled_ = false;
    painted_ = 0;
    // Every change of what the view shows asks for a paint of the rows it changes, so after this one the
    // view shows these lines.
    shown_ = Shown{true,     first_ + TopIndex(), first_ + count_, FirstRowY(TopIndex()),
                   xOffset_, viewport()->size()};
    if (count_ == 0) return;
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const QColor text = pal.color(QPalette::Text);
    painter.setPen(text);
    const QFontMetricsF fm(font());

    const int top = TopIndex();
    const int y0 = FirstRowY(top);
    const QRect area = event->rect();
    const int firstRow = std::max(0, RowAt(area.top(), y0));
    const int lastRow = std::min(count_ - 1 - top, RowAt(area.bottom(), y0));
    const qreal x = kMargin - xOffset_;

    const bool selected = hasSelection();
    const Pos from = Clamp(std::min(anchor_, cursor_));
    const Pos to = Clamp(std::max(anchor_, cursor_));
    bool wider = false;
    for (int row = firstRow; row <= lastRow; ++row) {
        const int index = top + row;
        const QString& line = Line(index);
        const int y = y0 + row * lineHeight_;
        painter.drawText(QPointF(x, y + ascent_), line);
        const std::int64_t number = first_ + index;
        if (selected && number >= from.line && number <= to.line) {
            // The selected part on the highlight, the line's end as a space when the selection goes on.
            QTextLayout layout;
            Layout(layout, line);
            const QTextLine tl = layout.lineAt(0);
            const int c0 = number == from.line ? from.col : 0;
            const int c1 = number == to.line ? to.col : static_cast<int>(line.size());
            const int left = static_cast<int>(std::floor(x + tl.cursorToX(c0)));
            const qreal end = x + tl.cursorToX(c1);
            const int right = number != to.line ? static_cast<int>(std::floor(end)) + spaceWidth_
                                                : static_cast<int>(std::lround(end));
            const QRect band(left, y, right - left, lineHeight_);
            painter.fillRect(band, pal.brush(QPalette::Highlight));
            painter.save();
            painter.setClipRect(band);
            painter.setPen(pal.color(QPalette::HighlightedText));
            painter.drawText(QPointF(x, y + ascent_), line);
            painter.restore();
        }
        // The horizontal range grows to any line seen wider than the longest by characters.
        const int width = static_cast<int>(std::ceil(fm.horizontalAdvance(line)));
        if (width > widthPx_) {
            widthPx_ = width;
            wider = true;
        }
        ++painted_;
    }
    if (wider) ScheduleSync();
}

// --- Selection ------------------------------------------------------------------------------------

TRawPane::Pos TRawPane::Clamp(Pos p) const {
    if (count_ == 0) return Pos{first_, 0};
    if (p.line < first_) return Pos{first_, 0};
    const std::int64_t last = first_ + count_ - 1;
    if (p.line > last) return Pos{last, static_cast<int>(Line(count_ - 1).size())};
    p.col = std::clamp(p.col, 0, static_cast<int>(Line(static_cast<int>(p.line - first_)).size()));
    return p;
}

bool TRawPane::hasSelection() const {
    return count_ > 0 && Clamp(anchor_) != Clamp(cursor_);
}

QString TRawPane::selectedText() const {
    if (!hasSelection()) return {};
    const Pos from = Clamp(std::min(anchor_, cursor_));
    const Pos to = Clamp(std::max(anchor_, cursor_));
    QString text;
    for (std::int64_t n = from.line; n <= to.line; ++n) {
        const QString& line = Line(static_cast<int>(n - first_));
        const int c0 = n == from.line ? from.col : 0;
        const int c1 = n == to.line ? to.col : static_cast<int>(line.size());
        text += QStringView(line).mid(c0, c1 - c0);
        if (n != to.line) text += QChar('\n');
    }
    return text;
}

void TRawPane::selectAll() {
    if (count_ == 0) return;
    anchor_ = Pos{first_, 0};
    cursor_ = Clamp(Pos{std::numeric_limits<std::int64_t>::max(), 0});
    Invalidate();
}

void TRawPane::copy() {
    if (hasSelection()) QApplication::clipboard()->setText(selectedText());
}

TRawPane::Pos TRawPane::HitTest(QPoint at) const {
    if (count_ == 0) return Pos{first_, 0};
    const int top = TopIndex();
    const int row = RowAt(at.y(), FirstRowY(top));
    const int index = std::clamp(top + row, 0, count_ - 1);
    QTextLayout layout;
    Layout(layout, Line(index));
    const int col =
        layout.lineAt(0).xToCursor(at.x() + xOffset_ - kMargin, QTextLine::CursorBetweenCharacters);
    return Pos{first_ + index, col};
}

void TRawPane::SetCursor(Pos p) {
    if (p == cursor_) return;
    cursor_ = p;
    Invalidate();
}

void TRawPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || count_ == 0) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Pos at = HitTest(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = at;
    cursor_ = at;
    dragging_ = true;
    Invalidate();
}

void TRawPane::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    SetCursor(HitTest(at));
    // Beyond the top or bottom edge the view scrolls on while the button is held.
    if (at.y() < 0 || at.y() >= viewport()->height())
        autoScroll_.start(kAutoScrollMs, this);
    else
        autoScroll_.stop();
}

void TRawPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    autoScroll_.stop();
    QClipboard* clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void TRawPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || count_ == 0) return;
    // The word under the mouse: the run of characters between spaces.
    const Pos at = HitTest(event->position().toPoint());
    const QString& line = Line(static_cast<int>(at.line - first_));
    int a = at.col;
    int b = at.col;
    while (a > 0 && !line[a - 1].isSpace())
        --a;
    while (b < line.size() && !line[b].isSpace())
        ++b;
    anchor_ = Pos{at.line, a};
    cursor_ = Pos{at.line, b};
    dragging_ = false;
    Invalidate();
}

void TRawPane::timerEvent(QTimerEvent* event) {
    if (event->timerId() != autoScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    if (!dragging_ || (at.y() >= 0 && at.y() < viewport()->height())) {
        autoScroll_.stop();
        return;
    }
    SyncBars();
    verticalScrollBar()->triggerAction(at.y() < 0 ? QAbstractSlider::SliderSingleStepSub
                                                  : QAbstractSlider::SliderSingleStepAdd);
    SetCursor(HitTest(at));
}

// --- Keys, wheel and menu -------------------------------------------------------------------------

void TRawPane::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    SyncBars(); // the keys move the view from where it is now
    switch (event->key()) {
    case Qt::Key_Home:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        return;
    case Qt::Key_End:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

// The standard keys of a text view are the pane's, before any shortcut of the window.
bool TRawPane::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key == QKeySequence::Copy || key == QKeySequence::SelectAll) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

// The bar the user takes hold of shows the lines as they are now.
bool TRawPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == verticalScrollBar() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel))
        SyncBars();
    return QAbstractScrollArea::eventFilter(watched, event);
}

void TRawPane::wheelEvent(QWheelEvent* event) {
    SyncBars();
    QAbstractScrollArea::wheelEvent(event);
}

QMenu* TRawPane::createStandardContextMenu() {
    auto* menu = new QMenu(this);
    QAction* copyAction = menu->addAction(tr("Kopieren"), this, &TRawPane::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction* all = menu->addAction(tr("Alles markieren"), this, &TRawPane::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(count_ > 0 && !(count_ == 1 && Line(0).isEmpty()));
    return menu;
}

void TRawPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
