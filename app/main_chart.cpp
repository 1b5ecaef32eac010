#include "app/main_chart.h"

#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"

#include <QCursor>

#include <algorithm>
#include <cmath>
#include <cstdio>

void ConfigureMainChart(TKartex& k) {
    PaintSuppression once(k);
    k.setCursor(Qt::PointingHandCursor);
    k.SetAllocSize(250000);
    k.SetAutoRedraw(true);
    k.SetLRim(50);
    k.SetRRim(20);
    k.SetTRim(20);
    k.SetBRim(40);
    k.SetGridStyle(gsLines);
    k.SetGridColor(clSilver);
    k.SetClassDefault(0);
    k.SetIsometric(false);
    k.SetCaptionPosX(0);
    k.SetCaptionPosY(-16);
    k.SetCaptionAlignment(taRightJustify);
    k.SetCaptionAnchorHoriz(cahChartRight);
    k.SetCaptionAnchorVert(cavChartTop);
    for (int i = 1; i <= TKartex::kCrossHairs; ++i) {
        TCrossHair& c = k.CrossHair(i);
        c.SetColor(clBlack);
        c.SetLayer(i);
        c.SetMode(chOff);
        c.SetLineType(psSolid);
        c.SetLineWid(1);
    }
    k.SetMouseAction(maPan);
    k.SetMouseCursorFixed(true);
    k.BackGroundImg().SetFillMode(bfStretch);
    k.BackGroundImg().SetIncludePath(false);
    k.SetShadowStyle(ssFlying);
    k.SetShadowColor(clGrayText);
    k.SetShadowBakColor(clBtnFace);
    k.SetTextFontStyle(0);
    k.SetTextBkStyle(tbClear);
    k.SetTextBkColor(clWhite);
    k.SetTextAlignment(taCenter);

    TFont font;
    font.Name = "MS Sans Serif";
    font.PixelHeight = 13;
    // Both layer-1 scales; the caption sits below the x axis and above the y axis.
    const auto common = [&](TScaleProps& s, double low, double high, int captionY, TAlignment alignment,
                            TScaleUnitAnchor anchor) {
        s.SetVisible(true);
        s.SetScalePos(0);
        s.SetMinRange(1e-10);
        s.SetRangeLow(low);
        s.SetRangeHigh(high);
        s.SetMinTicks(kNormalTicks);
        s.SetShortTicks(true);
        s.SetLabelType(ftNum);
        s.SetDecPlaces(-2);
        s.SetLogarithmic(false);
        s.SetColorScale(clBlack);
        s.SetFont(font);
        s.SetCaptionPosX(0);
        s.SetCaptionPosY(captionY);
        s.SetCaptionAlignment(alignment);
        s.SetCaptionAnchor(anchor);
    };
    k.Scale1X()->SetScaleLocation(slBottom);
    common(*k.Scale1X(), 0, 100, 22, taCenter, uaSclCenter);
    k.Scale1Y()->SetScaleLocation(slLeft);
    common(*k.Scale1Y(), 1, 200, -16, taLeftJustify, uaSclTopLft);
    for (int layer = 2; layer <= 4; ++layer)
        for (TScaleProps* s :
             {static_cast<TScaleProps*>(k.ScaleX(layer)), static_cast<TScaleProps*>(k.ScaleY(layer))}) {
            s->SetVisible(false);
            s->SetRangeLow(0);
            s->SetRangeHigh(1);
        }
    for (int layer = 1; layer <= 4; ++layer)
        for (TScaleProps* s :
             {static_cast<TScaleProps*>(k.ScaleX(layer)), static_cast<TScaleProps*>(k.ScaleY(layer))}) {
            TDTLabel& d = s->DateFormat();
            d.SetTimeFormat(tfHHMMSS);
            d.SetDateSeparator('-');
            d.SetTimeSeparator(':');
            d.SetYearLength(ylYYYY);
            d.SetMonthName(true);
            d.SetDateOrder(doDDMMYY);
            d.SetDateForTime(dtOnePerDay);
        }
}

void ApplyLogY(TKartex& k, float xmax, float ymax, float ymin) {
    k.Scale1X()->SetMinTicks(kDoubleTicks);
    k.Scale1Y()->SetMinTicks(kDoubleTicks);
    k.SetMouseAction(maPan);
    k.SetScaleRange(1, 0.0L, ymin, xmax, ymax);
    k.Scale1Y()->SetLogarithmic(true);
}

void KartexSink::MoveToPoint(double x, double y, double time) {
    chart_.MoveToPoint(x, y, time);
}
void KartexSink::LineToPoint(double x, double y, double time) {
    chart_.LineToPoint(x, y, time);
}

TYRange SamplesInView(TKartex& k, double xl, double xh) {
    const int n = k.ItemCount();
    const TChartItem* items = k.Items();
    if (n == 0) return {};
    const auto first =
        std::partition_point(items, items + n, [&](const TChartItem& it) { return it.X < xl; });
    const auto last =
        std::partition_point(first, items + n, [&](const TChartItem& it) { return it.X <= xh; });
    return k.ItemYRange(static_cast<int>(first - items), static_cast<int>(last - items));
}

int NearestSample(const TKartex& k, double x) {
    const int n = k.ItemCount();
    if (n == 0 || !std::isfinite(x)) return -1;
    const TChartItem* items = k.Items();
    const int right = static_cast<int>(
        std::partition_point(items, items + n, [&](const TChartItem& it) { return it.X < x; }) - items);
    if (right == n) return n - 1;
    if (right == 0) return 0;
    return x - items[right - 1].X <= items[right].X - x ? right - 1 : right;
}

std::string ReadOutX(bool timeAxis, int index, double x, const LocaleSeparator& separator) {
    if (!timeAxis) return "Nr. " + std::to_string(index + 1);
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", x);
    std::string s = text;
    if (const auto dot = s.find('.'); dot != std::string::npos) s.replace(dot, 1, separator.Text());
    return s + " s";
}
