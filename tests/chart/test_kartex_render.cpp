#include "chart/kartex.h"

#include "chart/core/colors.h"
#include "tests/chart/kartex_test_app.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

class KartexRender : public ::testing::Test {
protected:
    KartexRender() {
        k.show();
        k.SetScaleRange(1, 0, 0, 210, 140); // one unit per pixel: control pixel (50 + x, 160 − y)
    }
    TColor At(int x, int y) { return Canvas::FromRgb(k.ChartBitmap().pixel(x, y)); }
    int Count(TColor c, int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x)
                n += At(x, y) == c;
        return n;
    }

    TKartex k;
};

TEST_F(KartexRender, EmptyChartShowsBackgroundScalesAndAFramedPlot) {
    k.Paint();
    EXPECT_EQ(k.ChartBitmap().size(), QSize(280, 200));
    EXPECT_EQ(k.PlotBitmap().size(), QSize(211, 141));
    EXPECT_EQ(At(5, 5), ColorToRGB(clBtnFace));
    EXPECT_EQ(At(150, 90), clWhite);
    for (auto [x, y] : {std::pair{50, 20}, {260, 20}, {260, 160}, {50, 160}, {150, 20}, {50, 100}})
        EXPECT_EQ(At(x, y), clBlack) << x << "," << y;
    EXPECT_GT(Count(clBlack, 40, 168, 270, 199), 20); // x labels below the plot
    EXPECT_GT(Count(clBlack, 0, 15, 45, 165), 20);    // y labels left of it
    EXPECT_EQ(Count(clBlack, 51, 21, 259, 159), 0);
}

TEST_F(KartexRender, GridFollowsTheTicksButNotTheLastOne) {
    k.Scale1X()->SetShortTicks(false);
    k.SetScaleRange(1, 0, 0, 100, 140);
    k.SetGridColor(clRed);
    k.SetGridStyle(gsVertLines);
    const int px20 = k.WorldToPixel(1, 20, 0).X, px80 = k.WorldToPixel(1, 80, 0).X;
    EXPECT_EQ(At(px20, 100), clRed);
    EXPECT_EQ(At(px80, 100), clRed);
    EXPECT_EQ(At(px20 + 10, 100), clWhite);
    EXPECT_EQ(Count(clRed, 51, 100, 259, 100), 4); // 20, 40, 60, 80 (0 and 100 are under the frame)
    k.SetGridStyle(gsDotLines);
    EXPECT_GT(Count(clRed, px20, 21, px20, 159), 30);
    EXPECT_LT(Count(clRed, px20, 21, px20, 159), 120);
    k.SetGridStyle(gsPoints);
    const int py40 = k.WorldToPixel(1, 0, 40).Y;
    EXPECT_EQ(At(px20, py40), clRed);
    EXPECT_EQ(At(px20, py40 + 1), clWhite);
    EXPECT_EQ(At(px20 + 1, py40), clWhite);
}

TEST_F(KartexRender, LogarithmicGridWithDecadeSteps) {
    k.SetScaleRange(1, 1, 0, 1000, 140);
    k.Scale1X()->SetLogarithmic(true);
    k.SetGridColor(clRed);
    k.SetGridDx(-2);
    k.SetGridStyle(gsVertLines);
    for (double v : {2.0, 5.0, 20.0, 500.0})
        EXPECT_EQ(At(k.WorldToPixel(1, v, 0).X, 100), clRed) << v;
    EXPECT_EQ(At(k.WorldToPixel(1, 3, 0).X, 100), clWhite);
    k.SetGridDx(-4); // ignored
    EXPECT_EQ(k.GridDx(), -2);
}

TEST_F(KartexRender, BackgroundImageTilesAndAMissingFileIsDropped) {
    k.SetAutoRedraw(false);
    k.BackGroundImg().SetName("/no/such/dir/none.bmp");
    EXPECT_EQ(k.BackGroundImg().Name(), "none.bmp"); // only the file name without IncludePath
    k.Paint();
    EXPECT_EQ(k.BackGroundImg().Name(), "");
    EXPECT_EQ(At(150, 90), clWhite);

    QTemporaryDir dir;
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(QColor(0, 0, 255));
    const QString file = dir.filePath("tile.bmp");
    ASSERT_TRUE(tile.save(file, "BMP"));
    k.BackGroundImg().SetIncludePath(true);
    k.BackGroundImg().SetFillMode(bfTile);
    k.BackGroundImg().SetName(file.toStdString());
    k.Paint();
    EXPECT_EQ(At(150, 90), clBlue);
    EXPECT_EQ(At(259, 159), clBlue);
    EXPECT_EQ(At(260, 100), clBlack); // the frame is drawn over the picture
    EXPECT_EQ(k.ImageBitmap().size(), QSize(4, 4));
}

TEST_F(KartexRender, RedrawRendersThePlotOnlyUnlessAutoRedrawIsOff) {
    k.Paint();
    int scales = 0;
    k.OnScalesRendered = [&](TKartex&, Canvas*&, int, int) { ++scales; };
    k.SetDataColor(clBlue);
    k.MoveToPoint(10, 10);
    k.LineToPoint(100, 10);
    k.Redraw();
    EXPECT_EQ(scales, 0);
    EXPECT_EQ(At(100, 150), clBlue);
    k.SetAutoRedraw(false);
    k.Redraw();
    EXPECT_EQ(scales, 1);
    // Clearing re-renders the plot bitmap only; the screen keeps the line until the next redraw.
    k.ClearItems();
    EXPECT_EQ(Canvas::FromRgb(k.PlotBitmap().pixel(50, 130)), clWhite);
    EXPECT_EQ(At(100, 150), clBlue);
    k.Redraw();
    EXPECT_EQ(At(100, 150), clWhite);
}

TEST_F(KartexRender, EventsSeeTheirCanvasAndOffsets) {
    std::vector<std::string> order;
    int top = -1, left = -1;
    k.OnScalesRendered = [&](TKartex&, Canvas*& c, int, int) {
        order.push_back("scales");
        EXPECT_EQ(c, &k.ChartCanvas());
    };
    k.OnBeforeRenderData = [&](TKartex&, Canvas*& c, int t, int l) {
        order.push_back("before");
        top = t;
        left = l;
        c->SetPenColor(clRed); // restored by the chart
    };
    k.OnDataRendered = [&](TKartex&, Canvas*& c, int, int) {
        order.push_back("data");
        c->SetPixel(100, 70, clLime); // drawn before the frame, kept in the picture
    };
    k.Paint();
    EXPECT_EQ(order, (std::vector<std::string>{"scales", "before", "data"}));
    EXPECT_EQ(top, 20);
    EXPECT_EQ(left, 50);
    EXPECT_EQ(At(150, 90), clLime);
}

TEST_F(KartexRender, ShadowCaptionAndCrosshair) {
    k.SetShadowWidth(6);
    k.SetShadowColor(clGray);
    k.SetShadowBakColor(clYellow);
    k.SetCaption("Messung");
    k.CrossHair1()->SetPosX(105);
    k.CrossHair1()->SetPosY(70);
    k.CrossHair1()->SetMode(chBoth);
    k.Paint();
    EXPECT_EQ(At(278, 1), clYellow);  // corner square top right
    EXPECT_EQ(At(1, 198), clYellow);  // and bottom left
    EXPECT_EQ(At(278, 100), clGray);  // right face
    EXPECT_EQ(At(140, 197), clGray);  // bottom face
    EXPECT_EQ(At(274, 100), clBlack); // outline of the chart body
    const int right = 280 - 20 - 6;
    EXPECT_GT(Count(clBlack, right - 80, 4, right - 1, 16), 10); // caption right-aligned above the plot
    const TPoint c = k.WorldToPixel(1, 105, 70);
    EXPECT_EQ(At(c.X, 40), clBlack);
    EXPECT_EQ(At(120, c.Y), clBlack);
}

// A paint draws every pixel of the picture: whatever the picture held before, rims, shadow and plot area
// come out the same (the rims are filled around the plot area, which its own picture covers).
TEST_F(KartexRender, APaintLeavesNothingOfThePictureBefore) {
    for (const int shadow : {0, 6}) {
        k.SetShadowWidth(shadow);
        k.SetCaption(shadow ? "Messung" : "");
        k.MoveToPoint(0, 10);
        k.LineToPoint(210, 130);
        k.Paint();
        const QImage clean = k.ChartBitmap().copy();
        k.ChartCanvas().SetBrushColor(0x00FF00);
        k.ChartCanvas().FillRect(0, 0, 280, 200);
        k.PlotCanvas().FillRect(0, 0, 280, 200);
        k.Paint();
        EXPECT_EQ(k.ChartBitmap(), clean) << "shadow " << shadow;
    }
}

TEST_F(KartexRender, ArbitraryRecordsWithGridAndLogAxesPaintSafely) {
    std::mt19937_64 rng(99);
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -1e308,
                               0,
                               -5,
                               1e-300};
    for (int i = 0; i < 10000; ++i) {
        TChartItem it;
        auto* bytes = reinterpret_cast<unsigned char*>(&it);
        for (std::size_t b = 0; b < sizeof it; ++b)
            bytes[b] = static_cast<unsigned char>(rng());
        it.Kind = static_cast<std::uint8_t>(rng() % 16);
        it.X = rng() % 4 ? static_cast<double>(rng() % 300) : specials[rng() % std::size(specials)];
        it.Y = rng() % 4 ? static_cast<double>(rng() % 200) : specials[rng() % std::size(specials)];
        k.AddItem(it);
    }
    k.SetGridStyle(gsDotLines);
    k.SetGridDy(-3);
    k.SetScaleRange(1, 0, 0.5, 300, 200);
    k.Scale1Y()->SetLogarithmic(true);
    k.Paint();
    k.SetActiveLayer(3); // grid of a layer whose range is still the default
    k.Redraw();
    k.SetScaleRange(0, 7, 7, 7, 7);
    k.Paint();
    EXPECT_EQ(At(5, 5), ColorToRGB(clBtnFace));
}

TEST_F(KartexRender, SharedDataAndItsRefusals) {
    std::vector<QString> messages;
    k.InformationBox = [&](const QString& m) { messages.push_back(m); };
    k.SetUseDataOf(&k);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Kartex: Cannot share data with myself");

    TKartex users[5];
    for (TKartex& u : users) {
        u.InformationBox = [&](const QString& m) { messages.push_back(m); };
        u.SetUseDataOf(&k);
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], "Kartex: Max. number of data shares exceeded");
    EXPECT_EQ(users[4].UseDataOf(), nullptr);
    EXPECT_EQ(users[0].UseDataOf(), &k);
    k.SetUseDataOf(&users[4]);
    EXPECT_EQ(messages.back(), "Kartex: Cannot use foreign data. Other Kartexs are using my own data.");

    TKartex viaUser;
    viaUser.InformationBox = [&](const QString& m) { messages.push_back(m); };
    viaUser.SetUseDataOf(&users[1]); // a user of k: attaches to k (which is full)
    EXPECT_EQ(viaUser.UseDataOf(), nullptr);
    users[3].SetUseDataOf(nullptr);
    viaUser.SetUseDataOf(&users[1]);
    EXPECT_EQ(viaUser.UseDataOf(), &k);

    users[0].show();
    int partnerPaints = 0;
    users[0].OnScalesRendered = [&](TKartex&, Canvas*&, int, int) { ++partnerPaints; };
    users[1].LineToPoint(7, 7);
    k.Redraw();
    EXPECT_EQ(k.ItemCount(), 1);
    EXPECT_EQ(users[0].ItemCount(), 1);
    EXPECT_EQ(viaUser.Item(0).X, 7);
    EXPECT_EQ(partnerPaints, 1);
}

} // namespace
