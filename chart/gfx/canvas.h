#pragma once
// Canvas: pen, brush and font state and aliased drawing on a QImage (RGB32), with the raster conventions
// the chart is written for:
//   - a line from A to B sets every pixel except B;
//   - a box (x1, y1)-(x2, y2) covers x1 ... x2 - 1 and y1 ... y2 - 1.
// Solid and dashed 1-pixel lines, 1-pixel rectangle and ellipse outlines, polygon and ellipse fills are
// rasterized here with integer arithmetic, so the pixels are the same on every machine; wide pens, text
// and image copies go through QPainter (aliased, clipped to the image).
//
// The image is either owned (SetSize) or the caller's (Attach). A QPainter session is kept open between
// calls for speed; End() closes it. Call End() before resizing or replacing an attached image.

#include "chart/core/colors.h"
#include "chart/core/draw_types.h"
#include "chart/core/font.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QStaticText>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

enum TBrushStyle : std::uint8_t { bsSolid, bsClear };
enum TPenMode : std::uint8_t { pmCopy, pmXor };

class Canvas {
public:
    Canvas(); // owns an empty image; SetSize gives it pixels
    Canvas(int width, int height);
    explicit Canvas(QImage* image); // draws on the caller's image (converted to RGB32 if needed)
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The surface.
    void SetSize(int width, int height); // owned image: reallocates (content white) when the size changes
    void Attach(QImage* image);          // switch to the caller's image
    int Width() const { return img_->width(); }
    int Height() const { return img_->height(); }
    QImage& Image(); // closes the QPainter session so the caller may use or copy the image
    const QImage& Image() const { return *img_; }
    void End(); // close the QPainter session (the next drawing call opens it again)

    // Pen.
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor c) { penColor_ = c; }
    TPenStyle PenStyle() const { return penStyle_; }
    void SetPenStyle(TPenStyle s) { penStyle_ = s; }
    int PenWidth() const { return penWidth_; }
    void SetPenWidth(int w) { penWidth_ = w < 1 ? 1 : w; }
    TPenMode PenMode() const { return penMode_; }
    void SetPenMode(TPenMode m) { penMode_ = m; }
    TPoint PenPos() const { return penPos_; }
    void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }

    // Brush.
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor c) { brushColor_ = c; }
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrushStyle(TBrushStyle s) { brushStyle_ = s; }

    // Font.
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& f);
    void SetFontColor(TColor c) { font_.Color = c; }
    void SetFontSize(int points);
    void SetFontStyle(TFontStyles s);

    // Lines (pen; a line never sets its end pixel).
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const TPoint* pts, int count); // segments in order; the pen ends at the last point
    void Polyline(const std::vector<TPoint>& pts) { Polyline(pts.data(), static_cast<int>(pts.size())); }

    // Shapes: filled with the brush (unless clear), outlined with the pen (unless psClear).
    void Polygon(const TPoint* pts, int count);
    void Polygon(const std::vector<TPoint>& pts) { Polygon(pts.data(), static_cast<int>(pts.size())); }
    void Rectangle(int x1, int y1, int x2, int y2);
    void Ellipse(int x1, int y1, int x2, int y2);
    void FillRect(int x1, int y1, int x2, int y2); // brush only, no outline

    // Pixels (plain copy; the pen mode does not apply).
    void SetPixel(int x, int y, TColor c);
    TColor Pixel(int x, int y) const; // 0x00BBGGRR; 0 outside the image

    // Text with its top-left corner at (x, y), in the font colour; on the brush colour when the brush is
    // solid.
    void TextOut(int x, int y, const std::string& utf8);
    void TextOut(int x, int y, const QString& s);
    int TextWidth(const std::string& utf8);
    int TextWidth(const QString& s);
    int TextHeight(const std::string& utf8);
    int TextHeight(const QString& s);

    // Images.
    void Draw(int x, int y, const QImage& src);                               // unscaled, top-left at (x, y)
    void CopyRect(const QRect& dst, const QImage& src, const QRect& srcRect); // scaled when sizes differ
    void StretchDraw(const QRect& dst, const QImage& src);
    // Convenience over another canvas' image.
    void Draw(int x, int y, const Canvas& src) { Draw(x, y, src.Image()); }

    // Colour of a TColor as the image stores it.
    static QRgb ToRgb(TColor c);
    static TColor FromRgb(QRgb c);
    // The family that actually draws a given font name (the platform names fall back to DejaVu Sans).
    static QString ResolveFamily(const std::string& name);
    // Unicode text of a character code in the 8-bit code page of texts and character marks.
    static QString CharText(unsigned code);
    // Row j of the ellipse inscribed in a box of w x h pixels: the columns (from the box's left edge) of
    // the pixels it covers; first > second when the row is empty.
    static std::pair<long long, long long> EllipseRow(long long w, long long h, long long j);
    // Whether a pen style draws 1-pixel lines with gaps.
    static bool Patterned(TPenStyle s);

    // While set, drawing calls change the pen position, dash phase and every other state as they would,
    // but write no pixel: how a caller that knows a call's pixels will be painted over skips their cost.
    void SetPixelsSuppressed(bool v) { suppressed_ = v; }
    // Pixel (x, y) of rows rowLo … rowHi takes rgb[owners[y * width + x]] where that entry is not 0: a
    // map of the image's size (width, its width) of which of several drawings owns each pixel.
    void PaintOwned(const std::uint16_t* owners, int width, int rowLo, int rowHi, const QRgb* rgb);
    bool PixelsSuppressed() const { return suppressed_; }

private:
    QPainter& Painter();
    uchar* Bits(); // pixel buffer for direct writes; restarts the QPainter session if the image detached
    void ApplyPen(QPainter& p) const;
    void RestoreAlpha(const QRect& r);
    QFont MakeFont() const;

    // Own rasterizer.
    void PlotSpan(uchar* bits, int y, int xa, int xb, QRgb rgb, bool xorMode);
    void RasterLine(uchar* bits, int x0, int y0, int x1, int y1, QRgb rgb, bool xorMode);
    bool PatternOn(int step) const;
    void FillPolygon(const TPoint* pts, int count, QRgb rgb);
    bool ThinPen() const { return penWidth_ <= 1; }
    void WideLine(int x0, int y0, int x1, int y1);

    std::unique_ptr<QImage> own_;
    QImage* img_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    const uchar* painterBits_ = nullptr;

    TColor penColor_ = clBlack;
    TPenStyle penStyle_ = psSolid;
    int penWidth_ = 1;
    TPenMode penMode_ = pmCopy;
    TPoint penPos_;
    int dashPhase_ = 0; // dash pattern position, continued across the segments of a path
    bool suppressed_ = false;

    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = bsSolid;

    TFont font_;
    struct FontCache {
        QFont font;
        QFontMetrics metrics;
        // Texts laid out once in this font (tick labels come again frame after frame).
        std::unordered_map<QString, std::pair<QStaticText, int>> laidOut; // text, its advance
        std::unordered_map<QString, int> advances;                        // measured, not drawn
    };
    const FontCache& Fonts();
    std::optional<FontCache> qfont_; // the real font of font_, made on first use
};
