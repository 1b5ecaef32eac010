#pragma once
// The legend of an acquisition of several channels: a box in the chart's corner with a row per channel
// (its colour, name, latest value and the statistics of its samples in view). Clicking a row hides or
// shows the channel's line.

#include "chart/core/colors.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class TChannelLegend : public QWidget {
public:
    struct Row {
        TColor Color = 0;
        QString Name;
        QString Value; // latest value
        QString Stats; // of the samples in view
        bool Shown = true;
    };

    explicit TChannelLegend(QWidget* parent);

    // Takes the rows and resizes to fit them; repaints only when something changed.
    void SetRows(std::vector<Row> rows);
    const std::vector<Row>& Rows() const { return rows_; }
    // The row at a point of the widget, or −1.
    int RowAt(QPoint p) const;

    // Told the row clicked.
    std::function<void(int row)> OnToggle;

protected:
    void changeEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    int RowHeight() const;
    std::vector<Row> rows_;
    int nameWidth_ = 0, valueWidth_ = 0;
};
