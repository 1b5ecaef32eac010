// The chart widget driven as a user would: mouse events sent to a shown TKartex, acquisition files saved
// and loaded through it.
#include "chart/core/colors.h"
#include "chart/core/item_file.h"
#include "chart/cursors.h"
#include "chart/kartex.h"
#include "tests/chart/kartex_test_app.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <QMouseEvent>

#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

void Send(TKartex& w, QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held) {
    const QPointF local(x, y);
    QMouseEvent e(type, local, w.mapToGlobal(local), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

void Press(TKartex& w, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
    Send(w, QEvent::MouseButtonPress, x, y, b, b);
}
void MoveHeld(TKartex& w, int x, int y) {
    Send(w, QEvent::MouseMove, x, y, Qt::NoButton, Qt::LeftButton);
}
void MoveFree(TKartex& w, int x, int y) {
    Send(w, QEvent::MouseMove, x, y, Qt::NoButton, Qt::NoButton);
}
void Release(TKartex& w, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
    Send(w, QEvent::MouseButtonRelease, x, y, b, Qt::NoButton);
}

class KartexMouse : public ::testing::Test {
protected:
    void SetUp() override {
        TestWidgetApp();
        chart.SetScaleRange(1, 0, 0, 100, 100);
        chart.OnZoomPan = [this](TKartex& sender) {
            EXPECT_EQ(&sender, &chart);
            ++zoomPans;
        };
    }
    void ShowAt(int w, int h) {
        chart.resize(w, h);
        chart.show();
        chart.Paint();
    }
    double XLow() { return chart.ScaleX(1)->RangeLow(); }
    double XHigh() { return chart.ScaleX(1)->RangeHigh(); }
    double YLow() { return chart.ScaleY(1)->RangeLow(); }
    double YHigh() { return chart.ScaleY(1)->RangeHigh(); }

    TestWidgetAppFirst app;
    TKartex chart;
    int zoomPans = 0;
};

} // namespace

TEST_F(KartexMouse, PanByFortyPixelsAtPlotWidthFourHundred) {
    ShowAt(470, 300);
    ASSERT_EQ(chart.PlotWidth(), 400);
    chart.SetMouseAction(maPan);
    Press(chart, 100, 100);
    MoveHeld(chart, 100, 100);
    MoveHeld(chart, 140, 100);
    Release(chart, 140, 100);
    EXPECT_DOUBLE_EQ(XLow(), -10);
    EXPECT_DOUBLE_EQ(XHigh(), 90);
    EXPECT_DOUBLE_EQ(YLow(), 0);
    EXPECT_EQ(zoomPans, 1);
}

TEST_F(KartexMouse, ZoomWindowRectangleIsUndrawnAndADegenerateOneIgnored) {
    ShowAt(470, 300);
    const QImage screen = chart.ChartBitmap().copy();
    chart.SetMouseAction(maZoomWind);
    Press(chart, 100, 60);
    MoveHeld(chart, 200, 150);
    EXPECT_NE(chart.ChartBitmap(), screen) << "the rubber band shows";
    MoveHeld(chart, 250, 170);
    Release(chart, 250, 170, Qt::RightButton);
    EXPECT_EQ(chart.ChartBitmap(), screen) << "drawn twice in exclusive-or: gone";

    Press(chart, 100, 60);
    MoveHeld(chart, 100, 170); // no extent in x
    Release(chart, 100, 170);
    EXPECT_EQ(XLow(), 0);
    EXPECT_EQ(XHigh(), 100);
    EXPECT_EQ(chart.ChartBitmap(), screen);

    // A real window from (50, 20) to (250, 100): x 0 … 50 and, drawn downwards, y mirrored.
    Press(chart, 50, 20);
    MoveHeld(chart, 250, 100);
    Release(chart, 250, 100);
    EXPECT_NEAR(XLow(), 0, 1e-9);
    EXPECT_NEAR(XHigh(), 50, 1e-9);
    EXPECT_GT(YLow(), YHigh());
    EXPECT_EQ(zoomPans, 1);
}

TEST_F(KartexMouse, ARepaintUnderTheZoomRectangleLeavesNoOldRectangleBehind) {
    ShowAt(470, 300);
    const QImage screen = chart.ChartBitmap().copy();
    TempDir dir;
    chart.SetMouseAction(maZoomWind);
    // Whatever renders the picture anew while the rectangle shows (an export, new data on the plot area,
    // a full repaint) wipes it; the next move draws only the new one, and cancelling leaves nothing.
    const std::vector<std::function<void()>> repaints = {
        [&] { chart.ExportBitmap(dir / "shot.bmp", false); },
        [&] { chart.ExportBitmap(dir / "mono.bmp", true); },
        [&] { chart.Redraw(); },
        [&] { chart.Paint(); },
    };
    for (std::size_t k = 0; k < repaints.size(); ++k) {
        Press(chart, 100, 60);
        MoveHeld(chart, 200, 150);
        repaints[k]();
        EXPECT_EQ(chart.ChartBitmap(), screen) << k;
        MoveHeld(chart, 250, 170);
        EXPECT_EQ(chart.ChartBitmap().pixel(199, 100), screen.pixel(199, 100)) << k << ": old right edge";
        EXPECT_NE(chart.ChartBitmap().pixel(249, 100), screen.pixel(249, 100)) << k << ": new right edge";
        Release(chart, 250, 170, Qt::RightButton);
        EXPECT_EQ(chart.ChartBitmap(), screen) << k;
    }
    EXPECT_EQ(zoomPans, 0);
}

TEST_F(KartexMouse, ModeCursorsAndPositionReport) {
    ShowAt(470, 300);
    std::vector<std::pair<bool, double>> reports;
    chart.OnMouseMoveInChart = [&](TKartex&, bool inChart, TShiftState, double x, double) {
        reports.emplace_back(inChart, x);
    };
    const Qt::CursorShape own = chart.cursor().shape();
    chart.SetMouseAction(maPan);
    MoveFree(chart, 250, 100);
    EXPECT_EQ(chart.cursor().shape(), own) << "fixed cursor by default";

    chart.SetMouseCursorFixed(false);
    MoveFree(chart, 250, 100);
    EXPECT_EQ(chart.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(chart.cursor().pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              ChartCursorImage(mcHand));
    chart.SetMouseAction(maZoomDrag);
    MoveFree(chart, 250, 100);
    EXPECT_EQ(chart.cursor().pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              ChartCursorImage(mcZoomDrag));
    MoveFree(chart, 10, 100); // outside the plot area: the control's own cursor
    EXPECT_EQ(chart.cursor().shape(), own);

    ASSERT_EQ(reports.size(), 4u);
    EXPECT_TRUE(reports[0].first);
    EXPECT_DOUBLE_EQ(reports[0].second, 50);
    EXPECT_FALSE(reports[3].first);
}

namespace {

class KartexFile : public ::testing::Test {
protected:
    void SetUp() override { TestWidgetApp(); }

    static void Fill(TKartex& chart, int n, double y0) {
        chart.SetDataColor(clBlue);
        chart.MoveToPoint(0, y0);
        for (int k = 1; k < n; ++k)
            chart.LineToPoint(k + 1, y0 + k);
    }
    static std::vector<unsigned char> Bytes(const TKartex& chart) {
        const auto* p = reinterpret_cast<const unsigned char*>(chart.Items());
        return {p, p + chart.ItemCount() * sizeof(TChartItem)};
    }

    TempDir dir;
};

} // namespace

TEST_F(KartexFile, SavedItemsLoadIntoAnotherChartWithEitherKeepFlag) {
    TKartex a, b;
    Fill(a, 2, 1000);
    a.SaveItemFile(dir / "two.mvx");
    EXPECT_EQ(std::filesystem::file_size(dir / "two.mvx"), 208u);
    for (bool keep : {false, true}) {
        b.ClearItems();
        Fill(b, 5, 0);
        b.SetScaleRange(1, 0, 0, 100, 100);
        b.LoadItemFile(dir / "two.mvx", keep);
        EXPECT_EQ(b.ItemCount(), 2);
        EXPECT_EQ(Bytes(b), Bytes(a));
        // Ranges stay: data around 1000 lies outside the range shown.
        EXPECT_EQ(b.ScaleY(1)->RangeHigh(), 100);
    }
}

TEST_F(KartexFile, FailedLoadLeavesTheItemsAsTheyWere) {
    TKartex chart;
    Fill(chart, 3, 5);
    const auto before = Bytes(chart);
    EXPECT_THROW(chart.LoadItemFile(dir / "missing.mvx", false), EItemFileError);
    EXPECT_THROW(chart.LoadItemFile(dir.Path().string(), true), EItemFileError);
    EXPECT_EQ(Bytes(chart), before);
}

TEST_F(KartexFile, LoadedItemsReachSharingChartsAndTheScreen) {
    TKartex owner, user;
    owner.resize(300, 200);
    owner.SetScaleRange(1, 0, 0, 10, 10);
    owner.show();
    owner.Paint();
    user.SetUseDataOf(&owner);
    TKartex source;
    Fill(source, 4, 2);
    source.SaveItemFile(dir / "four.mvx");

    owner.LoadItemFile(dir / "four.mvx", false);
    EXPECT_EQ(user.ItemCount(), 4);
    EXPECT_EQ(Bytes(user), Bytes(source));
    bool blue = false;
    const QImage& shown = owner.ChartBitmap();
    for (int y = 0; y < shown.height() && !blue; ++y)
        for (int x = 0; x < shown.width() && !blue; ++x)
            blue = shown.pixel(x, y) == (Canvas::ToRgb(clBlue) | 0xFF000000u);
    EXPECT_TRUE(blue) << "the chart repaints with the loaded items";
}
