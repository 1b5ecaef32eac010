#include "chart/cursors.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPixmap>

#include <vector>

namespace {

const std::vector<TMouseCursor> kOwn{mcHand, mcZoomWind, mcZoomDrag, mcZoomWindPos};

struct Census {
    int transparent = 0, black = 0, white = 0;
};

Census Count(const QImage& img) {
    Census c;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) == 0)
                ++c.transparent;
            else if (qAlpha(p) == 255 && qGray(p) < 40)
                ++c.black;
            else if (qAlpha(p) == 255 && qGray(p) > 215)
                ++c.white;
        }
    return c;
}

} // namespace

TEST(Cursors, FourDistinctPicturesWithOutlineBodyAndTransparentGround) {
    for (std::size_t i = 0; i < kOwn.size(); ++i) {
        const QImage img = ChartCursorImage(kOwn[i]);
        ASSERT_EQ(img.size(), QSize(kCursorSize, kCursorSize));
        const Census c = Count(img);
        EXPECT_GT(c.transparent, 300) << i;
        EXPECT_GT(c.black, 60) << i;
        EXPECT_GT(c.white, 60) << i;
        // The hot spot lies on the picture, not on the transparent ground.
        const QPoint hot = ChartCursorHotSpot(kOwn[i]);
        ASSERT_TRUE(img.rect().contains(hot));
        EXPECT_EQ(qAlpha(img.pixel(hot)), 255) << i;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(img, ChartCursorImage(kOwn[j])) << i << " and " << j;
    }
    EXPECT_TRUE(ChartCursorImage(mcDefault).isNull());
}

TEST(Cursors, ScreenCursors) {
    int argc = 1;
    char name[] = "test_cursors";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    EXPECT_EQ(ChartCursor(mcDefault).shape(), Qt::ArrowCursor);
    EXPECT_EQ(ChartCursor(mcCross).shape(), Qt::CrossCursor);
    for (TMouseCursor c : kOwn) {
        const QCursor cur = ChartCursor(c);
        EXPECT_EQ(cur.shape(), Qt::BitmapCursor);
        EXPECT_EQ(cur.hotSpot(), ChartCursorHotSpot(c));
        EXPECT_EQ(cur.pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  ChartCursorImage(c));
    }
}
