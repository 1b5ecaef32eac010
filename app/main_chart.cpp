#include "app/main_chart.h"

#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"

#include <QCursor>

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

void KartexSink::MoveToPoint(double x, double y) {
    chart_.MoveToPoint(x, y);
}
void KartexSink::LineToPoint(double x, double y) {
    chart_.LineToPoint(x, y);
}
