#include "chart/overlays.h"

#include <algorithm>
#include <vector>

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

namespace {

std::vector<std::string> SplitLines(const std::string& caption) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t lf = caption.find('\n', start);
        lines.push_back(caption.substr(start, lf == std::string::npos ? std::string::npos : lf - start));
        if (lf == std::string::npos) return lines;
        start = lf + 1;
    }
}

void DrawLabel(Canvas& canvas, const TTextLabel& label, TPoint anchor) {
    canvas.SetFont(label.Font());
    canvas.SetPenColor(label.ColorBorder());
    canvas.SetPenStyle(psSolid);
    canvas.SetBrushColor(label.ColorBkg());
    canvas.SetBrushStyle(label.Transparent() ? bsClear : bsSolid);

    const std::vector<std::string> lines = SplitLines(label.Caption());
    const int n = static_cast<int>(lines.size());
    std::vector<int> widths;
    int w = 0;
    for (const std::string& line : lines) {
        widths.push_back(canvas.TextWidth(line));
        w = std::max(w, widths.back());
    }
    if (w == 0) w = canvas.TextWidth(label.Caption());
    const int h = canvas.TextHeight(label.Caption());

    int x = anchor.X;
    const int y = anchor.Y;
    if (label.Alignment() == taRightJustify)
        x -= w;
    else if (label.Alignment() == taCenter)
        x -= w / 2;

    const int bx1 = x - 4, by1 = y - h * n - 2, bx2 = x + w + 4, by2 = y + 2;
    switch (label.Mode()) {
    case tlsimple:
        if (!label.Transparent()) {
            canvas.SetPenColor(label.ColorBkg());
            canvas.Rectangle(bx1, by1, bx2, by2);
        }
        break;
    case tlBox:
        canvas.Rectangle(bx1, by1, bx2, by2);
        break;
    case tlUnderline:
        if (!label.Transparent()) {
            canvas.SetPenColor(label.ColorBkg());
            canvas.Rectangle(bx1, by1, bx2, by2);
        }
        canvas.SetPenColor(label.ColorBorder());
        canvas.MoveTo(x, y);
        canvas.LineTo(x + w, y);
        break;
    case tlShadow:
        canvas.SetPenColor(label.ColorShadow());
        canvas.SetBrushColor(label.ColorShadow());
        canvas.Rectangle(bx1 + label.ShadowDx(), by1 + label.ShadowDy(), bx2 + label.ShadowDx(),
                         by2 + label.ShadowDy());
        canvas.SetPenColor(label.ColorBorder());
        canvas.SetBrushColor(label.ColorBkg());
        canvas.Rectangle(bx1, by1, bx2, by2);
        break;
    case tlOff:
        break;
    }

    if (n == 1) {
        canvas.TextOut(x, y - h, label.Caption());
        return;
    }
    for (int i = 1; i <= n; ++i) {
        const int free = w - widths[static_cast<std::size_t>(i - 1)];
        const int e = label.Alignment() == taRightJustify ? free
                      : label.Alignment() == taCenter     ? free / 2
                                                          : 0;
        canvas.TextOut(x + e, y - h * (n - i + 1), lines[static_cast<std::size_t>(i - 1)]);
    }
}

} // namespace

void DrawTextLabels(Canvas& canvas, std::span<const TTextLabel> labels, const TPlotGeometry& frame,
                    const TWorldToPixel& worldToPixel, const std::function<bool(int layer)>& layerVisible,
                    int x0, int y0) {
    canvas.SetPenWidth(1);
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        if (it->Mode() == tlOff || (layerVisible && !layerVisible(it->Layer()))) continue;
        TPoint anchor = TextLabelAnchor(*it, worldToPixel);
        anchor.X += x0 - frame.LRim;
        anchor.Y += y0 - frame.TRim;
        DrawLabel(canvas, *it, anchor);
    }
}
