#pragma once
// The raw-data pane: a read-only view of the newest received lines. The lines live in a ring of one
// string per slot; appending stores the line and asks for one repaint later, and a paint draws only the
// lines in view, so neither cost grows with the number of lines held or the rate they come at.
// The calls the window and its tests make are those of a plain-text editor.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QMenu;
class QTextLayout;

class TRawPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TRawPane(QWidget* parent = nullptr);
    ~TRawPane() override;

    // text may hold several lines separated by '\n'; appended to an empty pane it becomes its first
    // line. The view follows the newest line when it showed the last one, else stays on its lines.
    void appendPlainText(const QString& text);
    // Appends each entry as a line (an entry that holds '\n' as several): the window's path.
    void AppendLines(const QStringList& lines);
    void setPlainText(const QString& text);
    void clear();
    // The lines joined with '\n'.
    QString toPlainText() const;
    // The oldest lines beyond this count drop out, at once when it shrinks; 0 keeps every line.
    void setMaximumBlockCount(int lines);
    int maximumBlockCount() const { return max_; }
    // Lines held; an empty pane counts one empty line, as a text document does.
    int blockCount() const { return count_ > 0 ? count_ : 1; }

    bool hasSelection() const;
    QString selectedText() const;
    void selectAll();
    void copy();
    // The menu of the right mouse button; the caller owns it.
    QMenu* createStandardContextMenu();

    int TopLine() const { return TopIndex(); }    // the line shown first
    int LinesPainted() const { return painted_; } // lines the last paint drew

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // A place in the text: the line by its number since the last clear (numbers stay with their line
    // as older lines drop out) and the character in it.
    struct Pos {
        std::int64_t line = 0;
        int col = 0;
        auto operator<=>(const Pos&) const = default;
    };

    std::size_t SlotOf(int index) const {
        const std::size_t slot = static_cast<std::size_t>(head_) + static_cast<std::size_t>(index);
        return slot >= slots_.size() ? slot - slots_.size() : slot;
    }
    const QString& Line(int index) const { return slots_[SlotOf(index)]; }
    void Push(const QString& line);
    void PushText(const QString& text);
    void DropOldest();
    void Reshape(std::size_t capacity);
    void BeginAppend();
    void EndAppend();
    void Reset();

    int Rows() const;
    int MaxTop() const;
    int TopIndex() const;
    int FirstRowY(int top) const;
    int RowAt(int y, int y0) const;
    void SyncBars();
    void ScheduleSync();
    void Repaint();
    void Invalidate();
    bool ScrollShown();
    void UpdateMetrics();

    Pos Clamp(Pos p) const;
    Pos HitTest(QPoint at) const;
    void Layout(QTextLayout& layout, const QString& text) const;
    void SetCursor(Pos p);

    std::vector<QString> slots_;
    int head_ = 0;  // slot of the oldest line
    int count_ = 0; // lines held
    int max_ = 0;
    std::int64_t first_ = 0; // number of the oldest line

    bool follow_ = true;   // the view shows the newest line and keeps doing so
    std::int64_t top_ = 0; // number of the line shown first when not following
    int xOffset_ = 0;

    int longestChars_ = 0; // the longest line seen, by characters, is measured when the bars are set
    QString longest_;
    bool widthDirty_ = false;
    int widthPx_ = 0; // widest line measured since the last clear

    int lineHeight_ = 1;
    int ascent_ = 0;
    int spaceWidth_ = 0; // the line end of a selection that goes on
    int painted_ = 0;
    bool syncPending_ = false;
    bool syncing_ = false;
    bool repaintPending_ = false;
    bool scrolled_ = false; // the pending repaint is that of a scroll

    // What the last paint showed: the lines from Top up to End (exclusive), the first row's height,
    // the horizontal offset and the view's size.
    struct Shown {
        bool Valid = false;
        std::int64_t Top = 0, End = 0;
        int Y0 = 0, X = 0;
        QSize Size;
    };
    Shown shown_;

    Pos anchor_;
    Pos cursor_;
    bool dragging_ = false;
    QBasicTimer autoScroll_;
};
