#include "chart/export.h"

#include "chart/core/colors.h"
#include "chart/kartex.h"
#include "tests/chart/kartex_test_app.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>

namespace {

QRgb Rgb(TColor c) {
    return Canvas::ToRgb(c) | 0xFF000000u;
}

bool IsGrey(QRgb p) {
    return qRed(p) == qGreen(p) && qGreen(p) == qBlue(p);
}

// A shown 400 × 300 chart with a blue zigzag over 0 … 100 and a drop shadow.
class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestWidgetApp();
        chart.resize(400, 300);
        chart.SetShadowWidth(6);
        chart.SetScaleRange(1, 0, 0, 100, 100);
        chart.SetDataColor(clBlue);
        chart.MoveToPoint(0, 10);
        for (int i = 1; i <= 10; ++i)
            chart.LineToPoint(i * 10, i % 2 ? 90 : 10);
        chart.show();
        chart.Paint();
    }

    QImage Exported(const std::string& name, bool mono) {
        chart.ExportBitmap(name, mono);
        QImage img(QString::fromStdString(BitmapFileName(name)));
        return img.convertToFormat(QImage::Format_RGB32);
    }

    TestWidgetAppFirst app;
    TKartex chart;
    TempDir dir;
};

} // namespace

TEST(BitmapName, OnlyTheLastExtensionOfTheFileNameIsReplaced) {
    EXPECT_EQ(BitmapFileName("/data/run.1.bmp"), "/data/run.1.bmp");
    EXPECT_EQ(BitmapFileName("run.txt"), "run.bmp");
    EXPECT_EQ(BitmapFileName("/data.old/run"), "/data.old/run.bmp");
    EXPECT_EQ(BitmapFileName("C:\\data.old\\run"), "C:\\data.old\\run.bmp");
    EXPECT_EQ(BitmapFileName("C:\\data\\run.1.bmp"), "C:\\data\\run.1.bmp");
    EXPECT_EQ(BitmapFileName("/home/u/.chart"), "/home/u/.chart.bmp");
    EXPECT_EQ(BitmapFileName("run."), "run.bmp");
    EXPECT_EQ(BitmapFileName("run"), "run.bmp");
}

TEST_F(ExportTest, PictureHasTheControlsSizeAndTheGivenName) {
    const QImage img = Exported(dir / "run.1.bmp", false);
    EXPECT_EQ(img.size(), QSize(400, 300));
    EXPECT_TRUE(std::filesystem::exists(dir / "run.1.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "run.bmp"));
    std::ifstream in(dir / "run.1.bmp", std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
}

TEST_F(ExportTest, ColourExportIsTheScreenPictureWithoutCrossHairs) {
    const QImage screen = chart.ChartBitmap().copy();
    chart.CrossHair(1).SetMode(chBoth);
    chart.CrossHair(1).SetColor(clRed);
    chart.CrossHair(1).SetPosX(50);
    chart.CrossHair(1).SetPosY(50);
    ASSERT_NE(chart.ChartBitmap(), screen) << "the crosshair is on the screen";
    const QImage img = Exported(dir / "colour.bmp", false);
    EXPECT_EQ(img, screen.convertToFormat(QImage::Format_RGB32));
}

TEST_F(ExportTest, MonochromeIsBlackOnWhiteWithSilverShadow) {
    const QImage img = Exported(dir / "mono.bmp", true);
    ASSERT_EQ(img.size(), QSize(400, 300));
    int black = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            ASSERT_TRUE(IsGrey(img.pixel(x, y))) << x << "," << y << " " << std::hex << img.pixel(x, y);
            black += img.pixel(x, y) == Rgb(clBlack);
        }
    EXPECT_GT(black, 500);
    const int plotRight = 400 - chart.RRim() - 6, plotBottom = 300 - chart.BRim() - 6;
    EXPECT_EQ(img.pixel(3, 3), Rgb(clWhite));                                // window
    EXPECT_EQ(img.pixel(chart.LRim() + 5, chart.TRim() + 50), Rgb(clWhite)); // plot area
    EXPECT_EQ(img.pixel(chart.LRim(), chart.TRim() + 50), Rgb(clBlack));     // plot frame
    EXPECT_EQ(img.pixel(397, 150), Rgb(clSilver));                           // shadow along the right edge
    EXPECT_EQ(img.pixel(398, 2), Rgb(clWhite));                              // shadow corner square
    // The zigzag's first rising line, from (0, 10) to (10, 90): black.
    int linePixels = 0;
    for (int y = chart.TRim(); y < plotBottom; ++y)
        for (int x = chart.LRim() + 1; x < chart.LRim() + (plotRight - chart.LRim()) / 10; ++x)
            linePixels += img.pixel(x, y) == Rgb(clBlack);
    EXPECT_GT(linePixels, 20);
}

TEST_F(ExportTest, ScreenAndSettingsAreUnchangedAfterExport) {
    chart.SetCaption("Messung");
    chart.Paint();
    const QImage before = chart.ChartBitmap().copy();
    const QImage shownBefore = chart.grab().toImage();
    const TColor wind = chart.WindColor(), scale2y = chart.ScaleY(2)->ColorScale();
    const TFont font = chart.Font();

    Exported(dir / "a.bmp", true);

    EXPECT_EQ(chart.WindColor(), wind);
    EXPECT_EQ(chart.ChartColor(), clWhite);
    EXPECT_EQ(chart.ShadowColor(), clGrayText);
    EXPECT_EQ(chart.ScaleY(2)->ColorScale(), scale2y);
    EXPECT_EQ(chart.Font(), font);
    EXPECT_EQ(chart.ChartBitmap(), before);
    EXPECT_EQ(chart.grab().toImage(), shownBefore);
    // Blue lines are still on the screen.
    bool blue = false;
    for (int y = 0; y < before.height() && !blue; ++y)
        for (int x = 0; x < before.width() && !blue; ++x)
            blue = chart.ChartBitmap().pixel(x, y) == Rgb(clBlue);
    EXPECT_TRUE(blue);
}

TEST_F(ExportTest, WriteFailureIsReportedAndColoursAreRestored) {
    const TColor scale1x = chart.ScaleX(1)->ColorScale();
    const QImage before = chart.ChartBitmap().copy();
    const std::string name = dir / "no-such-folder/run.bmp";
    try {
        chart.ExportBitmap(name, true);
        FAIL() << "export into a missing folder succeeded";
    } catch (const EBitmapError& e) {
        EXPECT_EQ(e.FileName(), name);
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
    }
    EXPECT_EQ(chart.WindColor(), clBtnFace);
    EXPECT_EQ(chart.ChartFrameColor(), clBlack);
    EXPECT_EQ(chart.ScaleX(1)->ColorScale(), scale1x);
    EXPECT_EQ(chart.ChartBitmap(), before);
}
