#include "chart/crosshair.h"

#include "chart/gfx/canvas.h"

void DrawCrossHairs(Canvas& canvas, std::span<const TCrossHair> hairs, const TPlotGeometry& frame,
                    const TWorldToPixel& worldToPixel, int x0, int y0) {
    bool anyOn = false;
    for (const TCrossHair& h : hairs)
        anyOn = anyOn || h.Mode() != chOff;
    if (!anyOn) return;

    const TColor penColor = canvas.PenColor();
    const int penWidth = canvas.PenWidth();
    const TPenStyle penStyle = canvas.PenStyle();
    for (const TCrossHair& hair : hairs) {
        if (hair.Mode() == chOff) continue;
        const TPoint c = worldToPixel(hair.Layer(), hair.PosX(), hair.PosY());
        canvas.SetPenColor(hair.Color());
        canvas.SetPenWidth(hair.LineWid());
        canvas.SetPenStyle(hair.LineType());
        // Half the pen width keeps a wide line off the plot frame.
        const int h = hair.LineWid() / 2;
        if (hair.HasHorizLine() && frame.TRim + h < c.Y && c.Y < frame.PlotBottom() - h) {
            canvas.MoveTo(frame.LRim + h + 1 - x0, c.Y - y0);
            canvas.LineTo(frame.PlotRight() - h - x0, c.Y - y0);
        }
        if (hair.HasVertLine() && frame.LRim + h < c.X && c.X < frame.PlotRight() - h) {
            canvas.MoveTo(c.X - x0, frame.TRim + h + 1 - y0);
            canvas.LineTo(c.X - x0, frame.PlotBottom() - h - y0);
        }
    }
    canvas.SetPenColor(penColor);
    canvas.SetPenWidth(penWidth);
    canvas.SetPenStyle(penStyle);
}
