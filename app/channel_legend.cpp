#include "app/channel_legend.h"

#include "chart/gfx/canvas.h"
#include <QCoreApplication>
#include <QEvent>

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kPad = 4;
constexpr int kSwatch = 18;
constexpr int kGap = 8;

} // namespace

TChannelLegend::TChannelLegend(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::ArrowCursor);
    setToolTip(QCoreApplication::translate("TChannelLegend", "Klick: Kanal zeigen oder verbergen"));
    hide();
}

void TChannelLegend::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        setToolTip(QCoreApplication::translate("TChannelLegend", "Klick: Kanal zeigen oder verbergen"));
    QWidget::changeEvent(event);
}

int TChannelLegend::RowHeight() const {
    return fontMetrics().height() + 2;
}

void TChannelLegend::SetRows(std::vector<Row> rows) {
    const auto same = [](const Row& a, const Row& b) {
        return a.Color == b.Color && a.Name == b.Name && a.Value == b.Value && a.Stats == b.Stats &&
               a.Shown == b.Shown;
    };
    if (rows.size() == rows_.size() && std::equal(rows.begin(), rows.end(), rows_.begin(), same)) return;
    rows_ = std::move(rows);
    const QFontMetrics m = fontMetrics();
    int names = 0, values = 0, stats = 0;
    for (const Row& r : rows_) {
        names = std::max(names, m.horizontalAdvance(r.Name));
        values = std::max(values, m.horizontalAdvance(r.Value));
        stats = std::max(stats, m.horizontalAdvance(r.Stats));
    }
    // The columns only widen during a run, so the box does not jitter as values change.
    nameWidth_ = std::max(nameWidth_, names);
    valueWidth_ = std::max(valueWidth_, values);
    resize(2 * kPad + kSwatch + 3 * kGap + nameWidth_ + valueWidth_ + stats,
           2 * kPad + RowHeight() * static_cast<int>(rows_.size()));
    update();
}

int TChannelLegend::RowAt(QPoint p) const {
    if (p.x() < 0 || p.x() >= width() || p.y() < kPad) return -1;
    const int row = (p.y() - kPad) / RowHeight();
    return row < static_cast<int>(rows_.size()) ? row : -1;
}

void TChannelLegend::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QColor(128, 128, 128));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const int h = RowHeight();
    const int ascent = fontMetrics().ascent();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        const int top = kPad + static_cast<int>(i) * h;
        const int mid = top + h / 2;
        const QColor text = r.Shown ? QColor(0, 0, 0) : QColor(150, 150, 150);
        p.setPen(QPen(r.Shown ? QColor(Canvas::ToRgb(r.Color)) : QColor(200, 200, 200), 3));
        p.drawLine(kPad, mid, kPad + kSwatch, mid);
        p.setPen(text);
        int x = kPad + kSwatch + kGap;
        const int baseline = top + (h - fontMetrics().height()) / 2 + ascent;
        p.drawText(x, baseline, r.Name);
        x += nameWidth_ + kGap;
        p.drawText(QRect(x, top, valueWidth_, h), Qt::AlignRight | Qt::AlignVCenter, r.Value);
        x += valueWidth_ + kGap;
        p.drawText(x, baseline, r.Stats);
    }
}

void TChannelLegend::mousePressEvent(QMouseEvent* e) {
    const int row = RowAt(e->position().toPoint());
    if (row >= 0 && e->button() == Qt::LeftButton && OnToggle) OnToggle(row);
    e->accept();
}
