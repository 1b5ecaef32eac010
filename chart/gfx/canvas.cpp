#include "chart/gfx/canvas.h"

#include "chart/gfx/line_steps.h"

#include <QFontMetrics>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace {

__extension__ typedef __int128 Int128;

// Dash patterns of 1-pixel pens, in pixels: on, off, on, off ...
struct DashPattern {
    int len;
    int period;
    int runs[6];
};
constexpr DashPattern kDash{2, 24, {18, 6}};
constexpr DashPattern kDot{2, 6, {3, 3}};
constexpr DashPattern kDashDot{4, 24, {9, 6, 3, 6}};
constexpr DashPattern kDashDotDot{6, 24, {9, 3, 3, 3, 3, 3}};

const DashPattern* PatternOf(TPenStyle s) {
    switch (s) {
    case psDash:
        return &kDash;
    case psDot:
        return &kDot;
    case psDashDot:
        return &kDashDot;
    case psDashDotDot:
        return &kDashDotDot;
    default:
        return nullptr;
    }
}

// Code page 1252 in the range 0x80 ... 0x9F; 0 where the code page leaves a hole.
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

inline QRgb* Row(uchar* bits, qsizetype bpl, int y) {
    return reinterpret_cast<QRgb*>(bits + bpl * y);
}

// Sets n pixels to one colour eight at a time: a plain loop stores one pixel a step, and the backgrounds
// of every frame are most of what the chart writes.
inline void FillPixels(QRgb* p, std::size_t n, QRgb rgb) {
    QRgb eight[8];
    std::fill_n(eight, 8, rgb);
    for (; n >= 8; n -= 8, p += 8)
        std::memcpy(p, eight, sizeof eight);
    for (; n > 0; --n)
        *p++ = rgb;
}

// Where each outline pixel of an ellipse lies along the outline, so a dashed pen runs its pattern round
// it: the walk starts at the left end of the top row, goes down the right side and back up the left side.
// Each row's outline pixels are a right run and a left run (one run in the top and bottom rows and in
// rows one pixel wide). Counts up to any row are found in closed form, so only visible rows are visited
// however large the box is.
class EllipseWalk {
public:
    using RowFn = std::pair<long long, long long> (*)(long long, long long, long long);

    EllipseWalk(RowFn row, long long w, long long h) : row_(row), w_(w), h_(h), mid_((h - 1) / 2) {
        k0_ = FirstRow([&](long long j) { return row_(w_, h_, j).first <= row_(w_, h_, j).second; });
        // Rows one pixel wide (a prefix of the top half) have no left run.
        narrowEnd_ = std::max(k0_ + 1, FirstRow([&](long long j) {
                                  const auto [a, b] = row_(w_, h_, j);
                                  return a < b;
                              }));
        split_ = FindSplit();
        rightTotal_ = Right(h_ - k0_);
        leftTotal_ = Left(h_ - k0_);
    }

    long long FirstRow() const { return k0_; }
    long long LastRow() const { return h_ - 1 - k0_; }
    bool TopHalf(long long j) const { return j <= mid_; }
    long long RightBase(long long j) const { return Right(j); }
    long long LeftBase(long long j) const { return rightTotal_ + leftTotal_ - Left(j + 1); }

private:
    long long B(long long j) const { return row_(w_, h_, j).second; }

    // First row in 0 ... mid_ (the widths grow towards the middle) for which ok holds; mid_ + 1 if none.
    template <class F> long long FirstRow(F ok) const {
        long long lo = 0, hi = mid_ + 1;
        while (lo < hi) {
            const long long m = lo + (hi - lo) / 2;
            if (ok(m))
                hi = m;
            else
                lo = m + 1;
        }
        return lo;
    }

    // In the top half the right end b grows by d = b(j) - b(j - 1) per row; its right run has
    // max(1, d) pixels. b is the floor of a concave function, so the rows where it grows by one or more
    // come first and those where it grows by at most one follow: split_ is the last row of the first
    // kind. Found on the real curve, then checked on the exact rows around it.
    long long FindSplit() const {
        const auto real = [&](long long j) {
            const long double t = static_cast<long double>(2 * j + 1 - h_) / static_cast<long double>(h_);
            return static_cast<long double>(w_) * std::sqrt(std::max(0.0L, 1 - t * t));
        };
        long long lo = k0_, hi = mid_; // the answer lies in lo ... hi
        while (lo < hi) {
            const long long m = hi - (hi - lo) / 2;
            if (real(m) - real(m - 1) >= 2)
                lo = m;
            else
                hi = m - 1;
        }
        long long s = lo;
        const long long from = std::max(k0_ + 1, s - 4), to = std::min(mid_, s + 5);
        for (long long r = from; r <= to; ++r)
            if (B(r) - B(r - 1) >= 2) s = std::max(s, r);
        for (long long r = from; r <= to; ++r)
            if (B(r) == B(r - 1) && r <= s) {
                s = r - 1;
                break;
            }
        return s;
    }

    // Right-run pixels of the top-half rows k0 ... n - 1 (n <= mid_ + 1).
    long long TopRight(long long n) const {
        if (n <= k0_) return 0;
        const long long top = 2 * B(k0_) - w_ + 2; // the top row is all outline
        return top + B(std::min(n - 1, split_)) - B(k0_) + std::max(0LL, n - 1 - split_);
    }
    long long TopLeft(long long n) const {
        return n <= k0_ ? 0 : TopRight(n) - TopRight(std::min(n, narrowEnd_));
    }

    // The same over rows 0 ... n - 1 of the whole ellipse: the bottom half mirrors the top half.
    template <class F> long long Whole(long long n, F top) const {
        n = std::min(n, h_ - k0_);
        if (n <= mid_ + 1) return top(n);
        return top(mid_ + 1) + top(h_ - 1 - mid_) - top(h_ - n);
    }
    long long Right(long long n) const {
        return Whole(n, [&](long long k) { return TopRight(k); });
    }
    long long Left(long long n) const {
        return Whole(n, [&](long long k) { return TopLeft(k); });
    }

    RowFn row_;
    long long w_, h_, mid_;
    long long k0_ = 0, narrowEnd_ = 0, split_ = 0, rightTotal_ = 0, leftTotal_ = 0;
};

} // namespace

Canvas::Canvas() : own_(std::make_unique<QImage>()), img_(own_.get()) {}

Canvas::Canvas(int width, int height) : Canvas() {
    SetSize(width, height);
}

Canvas::Canvas(QImage* image) {
    Attach(image);
}

Canvas::~Canvas() {
    End();
}

void Canvas::End() {
    painter_.reset();
    painterBits_ = nullptr;
}

void Canvas::SetSize(int width, int height) {
    End();
    if (!own_) {
        own_ = std::make_unique<QImage>();
        img_ = own_.get();
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (img_->width() == width && img_->height() == height && !img_->isNull()) return;
    if (width == 0 || height == 0) {
        *img_ = QImage();
        return;
    }
    *img_ = QImage(width, height, QImage::Format_RGB32);
    img_->fill(0xFFFFFFFFu);
}

void Canvas::Attach(QImage* image) {
    End();
    own_.reset();
    img_ = image;
    if (!img_->isNull() && img_->format() != QImage::Format_RGB32)
        *img_ = img_->convertToFormat(QImage::Format_RGB32);
}

QImage& Canvas::Image() {
    End();
    return *img_;
}

QPainter& Canvas::Painter() {
    if (!painter_ || !painter_->isActive() || img_->constBits() != painterBits_) {
        painter_.reset();
        painter_ = std::make_unique<QPainter>(img_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, false);
        painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter_->setClipRect(img_->rect());
        painterBits_ = img_->constBits();
    }
    return *painter_;
}

uchar* Canvas::Bits() {
    uchar* b = img_->bits();
    if (painter_ && b != painterBits_) End();
    return b;
}

QRgb Canvas::ToRgb(TColor c) {
    c = ColorToRGB(c);
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

TColor Canvas::FromRgb(QRgb c) {
    return static_cast<TColor>(qRed(c)) | (static_cast<TColor>(qGreen(c)) << 8) |
           (static_cast<TColor>(qBlue(c)) << 16);
}

QString Canvas::ResolveFamily(const std::string& name) {
    if (name.empty() || name == "MS Sans Serif" || name == "Arial" || name == "Microsoft Sans Serif" ||
        name == "Tahoma" || name == "Segoe UI" || name == "Verdana")
        return QStringLiteral("DejaVu Sans");
    if (name == "Courier New" || name == "Courier" || name == "Fixedsys")
        return QStringLiteral("DejaVu Sans Mono");
    if (name == "Times New Roman" || name == "MS Serif") return QStringLiteral("DejaVu Serif");
    return QString::fromStdString(name);
}

QString Canvas::CharText(unsigned code) {
    code &= 0xFF;
    char16_t u = static_cast<char16_t>(code);
    if (code >= 0x80 && code < 0xA0) u = kCp1252High[code - 0x80] ? kCp1252High[code - 0x80] : u'?';
    return QString(QChar(u));
}

// ---- state ----

void Canvas::SetFont(const TFont& f) {
    if (!(f == font_)) qfont_.reset();
    font_ = f;
}

void Canvas::SetFontSize(int points) {
    font_.Size = points;
    font_.PixelHeight = 0;
    qfont_.reset();
}

void Canvas::SetFontStyle(TFontStyles s) {
    font_.Style = s;
    qfont_.reset();
}

QFont Canvas::MakeFont() const {
    QFont f(ResolveFamily(font_.Name));
    f.setPixelSize(std::max(1, font_.EmPixels()));
    f.setBold(font_.Style & fsBold);
    f.setItalic(font_.Style & fsItalic);
    f.setUnderline(font_.Style & fsUnderline);
    f.setStrikeOut(font_.Style & fsStrikeOut);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void Canvas::ApplyPen(QPainter& p) const {
    QPen pen(QColor(ToRgb(penColor_)));
    pen.setWidth(penWidth_);
    switch (penStyle_) {
    case psDash:
        pen.setStyle(Qt::DashLine);
        break;
    case psDot:
        pen.setStyle(Qt::DotLine);
        break;
    case psDashDot:
        pen.setStyle(Qt::DashDotLine);
        break;
    case psDashDotDot:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    case psClear:
        pen.setStyle(Qt::NoPen);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.setCompositionMode(penMode_ == pmXor ? QPainter::RasterOp_SourceXorDestination
                                           : QPainter::CompositionMode_SourceOver);
}

// Exclusive-or through QPainter also flips the unused alpha byte of RGB32 pixels; put it back.
void Canvas::RestoreAlpha(const QRect& r) {
    const QRect c = r.intersected(img_->rect());
    if (c.isEmpty()) return;
    uchar* bits = Bits();
    const qsizetype bpl = img_->bytesPerLine();
    for (int y = c.top(); y <= c.bottom(); ++y) {
        QRgb* row = Row(bits, bpl, y);
        for (int x = c.left(); x <= c.right(); ++x)
            row[x] |= 0xFF000000u;
    }
}

// ---- own rasterizer ----

bool Canvas::PatternOn(int step) const {
    const DashPattern* p = PatternOf(penStyle_);
    if (!p) return true;
    int pos = step % p->period;
    if (pos < 0) pos += p->period;
    for (int k = 0; k < p->len; ++k) {
        if (pos < p->runs[k]) return (k % 2) == 0;
        pos -= p->runs[k];
    }
    return false;
}

void Canvas::PlotSpan(uchar* bits, int y, int xa, int xb, QRgb rgb, bool xorMode) {
    if (suppressed_ || y < 0 || y >= img_->height()) return;
    xa = std::max(xa, 0);
    xb = std::min(xb, img_->width() - 1);
    if (xa > xb) return;
    QRgb* row = Row(bits, img_->bytesPerLine(), y);
    if (xorMode) {
        const QRgb m = rgb & 0x00FFFFFFu;
        for (int x = xa; x <= xb; ++x)
            row[x] ^= m;
    } else {
        FillPixels(row + xa, static_cast<std::size_t>(xb - xa + 1), rgb);
    }
}

// The steps are ForEachLineStep's; a solid vertical or horizontal line takes its column or span at once.
void Canvas::RasterLine(uchar* bits, int x0, int y0, int x1, int y1, QRgb rgb, bool xorMode) {
    if (suppressed_ || (x0 == x1 && y0 == y1)) return;
    const int w = img_->width(), h = img_->height();
    const qsizetype bpl = img_->bytesPerLine();
    const QRgb m = rgb & 0x00FFFFFFu;
    const bool dashed = PatternOf(penStyle_) != nullptr;
    if ((x0 == x1 || y0 == y1) && !dashed) {
        // The end is left out: the last pixel is one step short of it.
        const auto last = [](int from, int to, int limit) {
            const long long v = static_cast<long long>(to) + (to > from ? -1 : 1);
            return static_cast<int>(std::clamp<long long>(v, -1, limit));
        };
        if (y0 == y1) { // grid lines, axes, flat stretches of data: one span of a row
            const int b = last(x0, x1, w), a = std::clamp(x0, -1, w);
            return PlotSpan(bits, y0, std::min(a, b), std::max(a, b), rgb, xorMode);
        }
        // A vertical line, the most common one of a reduced run: one column, no stepping.
        if (x0 < 0 || x0 >= w) return;
        const int b = last(y0, y1, h), a = std::clamp(y0, -1, h);
        for (int y = std::max(std::min(a, b), 0); y <= std::min(std::max(a, b), h - 1); ++y) {
            QRgb& px = Row(bits, bpl, y)[x0];
            px = xorMode ? (px ^ m) : rgb;
        }
        return;
    }
    ForEachLineStep(x0, y0, x1, y1, w, h, [&](long long i, int x, int y) {
        if (dashed && !PatternOn(static_cast<int>((dashPhase_ + i) % 24))) return;
        QRgb& px = Row(bits, bpl, y)[x];
        px = xorMode ? (px ^ m) : rgb;
    });
}

void Canvas::PaintOwned(const std::uint16_t* owners, int width, int rowLo, int rowHi, const QRgb* rgb) {
    if (suppressed_ || img_->isNull() || width != img_->width()) return;
    uchar* bits = Bits();
    const qsizetype bpl = img_->bytesPerLine();
    rowLo = std::max(rowLo, 0);
    rowHi = std::min(rowHi, img_->height() - 1);
    for (int y = rowLo; y <= rowHi; ++y) {
        const std::uint16_t* o = owners + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        QRgb* row = Row(bits, bpl, y);
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            std::uint64_t four;
            std::memcpy(&four, o + x, sizeof four);
            if (four == 0) continue; // most of a sparse picture
            for (int k = 0; k < 4; ++k)
                if (o[x + k]) row[x + k] = rgb[o[x + k]];
        }
        for (; x < width; ++x)
            if (o[x]) row[x] = rgb[o[x]];
    }
}

void Canvas::WideLine(int x0, int y0, int x1, int y1) {
    if (suppressed_) return;
    QPainter& p = Painter();
    ApplyPen(p);
    p.drawLine(x0, y0, x1, y1);
    if (penMode_ == pmXor)
        RestoreAlpha(
            QRect(QPoint(std::min(x0, x1), std::min(y0, y1)), QPoint(std::max(x0, x1), std::max(y0, y1)))
                .adjusted(-penWidth_, -penWidth_, penWidth_, penWidth_));
}

// ---- lines ----

void Canvas::MoveTo(int x, int y) {
    penPos_ = {x, y};
    dashPhase_ = 0;
}

void Canvas::LineTo(int x, int y) {
    const TPoint from = penPos_;
    penPos_ = {x, y};
    if (penStyle_ == psClear || img_->isNull()) return;
    if (ThinPen()) {
        RasterLine(Bits(), from.X, from.Y, x, y, ToRgb(penColor_), penMode_ == pmXor);
        const long long n = std::max(std::llabs(static_cast<long long>(x) - from.X),
                                     std::llabs(static_cast<long long>(y) - from.Y));
        dashPhase_ = static_cast<int>((dashPhase_ + n) % 24);
    } else {
        WideLine(from.X, from.Y, x, y);
    }
}

void Canvas::Polyline(const TPoint* pts, int count) {
    if (count < 1) return;
    if (penStyle_ == psClear || img_->isNull() || count == 1 || !ThinPen()) {
        if (penStyle_ != psClear && !img_->isNull() && count > 1 && !suppressed_) {
            std::vector<QPoint> q(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                q[static_cast<std::size_t>(i)] = QPoint(pts[i].X, pts[i].Y);
            QPainter& p = Painter();
            ApplyPen(p);
            p.drawPolyline(q.data(), count);
            if (penMode_ == pmXor) RestoreAlpha(img_->rect());
        }
        penPos_ = pts[count - 1];
        return;
    }
    MoveTo(pts[0].X, pts[0].Y);
    for (int i = 1; i < count; ++i)
        LineTo(pts[i].X, pts[i].Y);
}

// ---- shapes ----

void Canvas::FillRect(int x1, int y1, int x2, int y2) {
    if (brushStyle_ == bsClear || img_->isNull() || suppressed_) return;
    uchar* bits = Bits();
    const QRgb c = ToRgb(brushColor_);
    for (int y = std::max(y1, 0); y < std::min(y2, img_->height()); ++y)
        PlotSpan(bits, y, x1, x2 - 1, c, false);
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 == x1 || y2 == y1 || img_->isNull()) return;
    const bool pen = penStyle_ != psClear;
    const bool xr = penMode_ == pmXor;
    // Suppressed: only a dashed outline has state to carry on (its dash phase).
    if (suppressed_ && !(pen && ThinPen() && PatternOf(penStyle_))) return;
    if (brushStyle_ == bsSolid && !suppressed_) {
        // Only the part inside the pen is filled, so exclusive-or touches every pixel once.
        const int inset = !pen                                       ? 0
                          : penStyle_ == psInsideFrame && !ThinPen() ? penWidth_
                                                                     : (penWidth_ + 1) / 2;
        uchar* bits = Bits();
        const QRgb c = ToRgb(brushColor_);
        for (int y = std::max(y1 + inset, 0); y < std::min(y2 - inset, img_->height()); ++y)
            PlotSpan(bits, y, x1 + inset, x2 - 1 - inset, c, xr);
    }
    if (!pen) return;
    if (ThinPen() && !PatternOf(penStyle_)) {
        uchar* bits = Bits();
        const QRgb c = ToRgb(penColor_);
        PlotSpan(bits, y1, x1, x2 - 1, c, xr);
        if (y2 - 1 > y1) PlotSpan(bits, y2 - 1, x1, x2 - 1, c, xr);
        for (int y = std::max(y1 + 1, 0); y < std::min(y2 - 1, img_->height()); ++y) {
            PlotSpan(bits, y, x1, x1, c, xr);
            if (x2 - 1 > x1) PlotSpan(bits, y, x2 - 1, x2 - 1, c, xr);
        }
    } else if (ThinPen()) {
        const TPoint path[5] = {{x1, y1}, {x2 - 1, y1}, {x2 - 1, y2 - 1}, {x1, y2 - 1}, {x1, y1}};
        const TPoint keep = penPos_;
        Polyline(path, 5);
        penPos_ = keep;
    } else if (!suppressed_) {
        QPainter& p = Painter();
        ApplyPen(p);
        QRect r(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
        if (penStyle_ == psInsideFrame) {
            const int h = penWidth_ / 2;
            r.adjust(h, h, -(penWidth_ - 1 - h), -(penWidth_ - 1 - h));
        }
        p.drawRect(r.adjusted(0, 0, -1, -1));
        if (xr) RestoreAlpha(r.adjusted(-penWidth_, -penWidth_, penWidth_, penWidth_));
    }
}

bool Canvas::Patterned(TPenStyle s) {
    return PatternOf(s) != nullptr;
}

// Row j of the ellipse inscribed in a box of w x h pixels: the columns (from the box's left edge) of the
// pixels whose centres lie inside or on it; first > second when the row is empty. Exact integer test
// for any box that fits the image's coordinate range, long double beyond.
std::pair<long long, long long> Canvas::EllipseRow(long long w, long long h, long long j) {
    if (j < 0 || j >= h) return {1, 0};
    const long long dy2 = 2 * j + 1 - h;
    long long m;
    if (w <= (1LL << 30) && h <= (1LL << 30)) {
        const Int128 w2 = static_cast<Int128>(w) * w, h2 = static_cast<Int128>(h) * h;
        const Int128 rhs = w2 * (h2 - static_cast<Int128>(dy2) * dy2); // largest m with m^2 h^2 <= rhs
        // A first guess in double precision (within a step or two), made exact below.
        const double r = static_cast<double>(dy2) / static_cast<double>(h);
        m = static_cast<long long>(static_cast<double>(w) * std::sqrt(std::max(0.0, 1 - r * r)));
        while (m > 0 && static_cast<Int128>(m) * m * h2 > rhs)
            --m;
        while (static_cast<Int128>(m + 1) * (m + 1) * h2 <= rhs)
            ++m;
    } else {
        const long double r = static_cast<long double>(dy2) / h;
        m = static_cast<long long>(std::floor(w * std::sqrt(std::max(0.0L, 1 - r * r))));
    }
    if ((m & 1) != ((w + 1) & 1)) --m; // 2i + 1 - w has the parity of w + 1
    if (m < 0) return {1, 0};
    return {(w - 1 - m) / 2, (w - 1 + m) / 2};
}

void Canvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 == x1 || y2 == y1 || img_->isNull() || suppressed_) return;
    const bool pen = penStyle_ != psClear;
    const bool xr = penMode_ == pmXor;
    if (!ThinPen() && pen) {
        if (brushStyle_ == bsSolid) {
            const TPenStyle keep = penStyle_;
            penStyle_ = psClear;
            Ellipse(x1, y1, x2, y2);
            penStyle_ = keep;
        }
        QPainter& p = Painter();
        ApplyPen(p);
        const QRect r(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
        p.drawEllipse(r.adjusted(0, 0, -1, -1));
        if (xr) RestoreAlpha(r.adjusted(-penWidth_, -penWidth_, penWidth_, penWidth_));
        return;
    }
    const bool fill = brushStyle_ == bsSolid;
    if (!pen && !fill) return;
    const long long w = static_cast<long long>(x2) - x1, h = static_cast<long long>(y2) - y1;
    // Only rows inside the image are visited; a row's outline depends on its neighbours.
    const long long jLo = std::max(0LL, -static_cast<long long>(y1));
    const long long jHi = std::min(h - 1, static_cast<long long>(img_->height()) - 1 - y1);
    if (jLo > jHi) return;
    uchar* bits = Bits();
    const QRgb pc = ToRgb(penColor_), bc = ToRgb(brushColor_);
    // The visible columns of the box, from its left edge.
    const long long cLo = -static_cast<long long>(x1);
    const long long cHi = static_cast<long long>(img_->width()) - 1 - x1;
    std::optional<EllipseWalk> walk;
    if (pen && PatternOf(penStyle_)) walk.emplace(&EllipseRow, w, h);
    auto above = EllipseRow(w, h, jLo - 1), row = EllipseRow(w, h, jLo);
    for (long long j = jLo; j <= jHi; ++j) {
        const auto below = EllipseRow(w, h, j + 1);
        const auto [a, b] = row;
        const int y = static_cast<int>(y1 + j);
        const auto span = [&](long long from, long long to, QRgb c) {
            from = std::max(from, cLo);
            to = std::min(to, cHi);
            if (from <= to) PlotSpan(bits, y, static_cast<int>(x1 + from), static_cast<int>(x1 + to), c, xr);
        };
        // The outline pixels of a row are those at its ends or beyond either neighbour's ends; the rest,
        // one span, is the inside.
        const long long in0 = std::max({a + 1, above.first, below.first});
        const long long in1 = std::min({b - 1, above.second, below.second});
        const bool inside = in0 <= in1;
        if (inside && fill) span(in0, in1, bc);
        if (!pen) {
            if (inside) {
                span(a, in0 - 1, bc);
                span(in1 + 1, b, bc);
            } else {
                span(a, b, bc);
            }
        } else if (!walk) {
            if (inside) {
                span(a, in0 - 1, pc);
                span(in1 + 1, b, pc);
            } else {
                span(a, b, pc);
            }
        } else if (std::max(a, cLo) <= std::min(b, cHi)) {
            // Dashed pens: the right and left runs of this row's outline and where they start along it.
            const bool top = walk->TopHalf(j);
            std::pair<long long, long long> rightRun{a, b}, leftRun{1, 0};
            long long leftBase = 0;
            if (j != walk->FirstRow() && j != walk->LastRow() && a != b) {
                const auto& next = top ? above : below; // the narrower neighbour
                rightRun = {std::min(b, next.second + 1), b};
                leftRun = {a, std::max(a, next.first - 1)};
                leftBase = walk->LeftBase(j);
            }
            const long long rightBase = walk->RightBase(j);
            const auto dashes = [&](long long from, long long to) {
                for (long long i = std::max(from, cLo); i <= std::min(to, cHi); ++i) {
                    const bool right = i >= rightRun.first;
                    const auto& run = right ? rightRun : leftRun;
                    const long long step =
                        (right ? rightBase : leftBase) + (top ? i - run.first : run.second - i);
                    if (PatternOn(static_cast<int>(step % 24))) span(i, i, pc);
                }
            };
            if (inside) {
                dashes(a, in0 - 1);
                dashes(in1 + 1, b);
            } else {
                dashes(a, b);
            }
        }
        above = row;
        row = below;
    }
}

// Even-odd fill of the pixels whose centres lie inside or on the polygon; each edge covers the rows
// from its upper end up to, not including, its lower end.
void Canvas::FillPolygon(const TPoint* pts, int count, QRgb rgb) {
    int yMin = pts[0].Y, yMax = pts[0].Y;
    for (int i = 1; i < count; ++i) {
        yMin = std::min(yMin, pts[i].Y);
        yMax = std::max(yMax, pts[i].Y);
    }
    yMin = std::max(yMin, 0);
    yMax = std::min(yMax, img_->height() - 1);
    uchar* bits = Bits();
    const bool xr = penMode_ == pmXor;
    std::vector<double> xs;
    for (int y = yMin; y <= yMax; ++y) {
        xs.clear();
        for (int i = 0; i < count; ++i) {
            const TPoint a = pts[i], b = pts[(i + 1) % count];
            if (a.Y == b.Y) continue;
            const int lo = std::min(a.Y, b.Y), hi = std::max(a.Y, b.Y);
            if (y < lo || y >= hi) continue;
            xs.push_back(a.X + static_cast<double>(static_cast<long long>(y) - a.Y) *
                                   (static_cast<double>(b.X) - a.X) / (static_cast<double>(b.Y) - a.Y));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const double l = std::ceil(xs[k]), r = std::floor(xs[k + 1]);
            if (l > r) continue;
            PlotSpan(bits, y, static_cast<int>(std::max(l, -1.0)),
                     static_cast<int>(std::min(r, static_cast<double>(img_->width()))), rgb, xr);
        }
    }
}

void Canvas::Polygon(const TPoint* pts, int count) {
    if (count < 2 || img_->isNull()) return;
    if (brushStyle_ == bsSolid && count >= 3 && !suppressed_) FillPolygon(pts, count, ToRgb(brushColor_));
    if (penStyle_ == psClear) return;
    if (ThinPen()) {
        const TPoint keep = penPos_;
        MoveTo(pts[0].X, pts[0].Y);
        for (int i = 1; i < count; ++i)
            LineTo(pts[i].X, pts[i].Y);
        LineTo(pts[0].X, pts[0].Y);
        penPos_ = keep;
        return;
    }
    if (suppressed_) return;
    std::vector<QPoint> q(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        q[static_cast<std::size_t>(i)] = QPoint(pts[i].X, pts[i].Y);
    QPainter& p = Painter();
    ApplyPen(p);
    p.drawPolygon(q.data(), count);
    if (penMode_ == pmXor) RestoreAlpha(img_->rect());
}

// ---- pixels ----

void Canvas::SetPixel(int x, int y, TColor c) {
    if (suppressed_ || x < 0 || y < 0 || x >= img_->width() || y >= img_->height()) return;
    Row(Bits(), img_->bytesPerLine(), y)[x] = ToRgb(c);
}

TColor Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= img_->width() || y >= img_->height()) return 0;
    return FromRgb(reinterpret_cast<const QRgb*>(img_->constScanLine(y))[x]);
}

// ---- text ----

void Canvas::TextOut(int x, int y, const std::string& utf8) {
    TextOut(x, y, QString::fromStdString(utf8));
}

const Canvas::FontCache& Canvas::Fonts() {
    if (!qfont_) {
        QFont f = MakeFont();
        qfont_.emplace(FontCache{f, QFontMetrics(f), {}, {}});
    }
    return *qfont_;
}

void Canvas::TextOut(int x, int y, const QString& s) {
    Fonts();
    FontCache& fc = *qfont_;
    const QFontMetrics& fm = fc.metrics;
    if (fc.laidOut.size() > 512) fc.laidOut.clear(); // the labels of several views
    auto [at, fresh] = fc.laidOut.try_emplace(s);
    if (fresh) {
        at->second.first = QStaticText(s);
        at->second.first.setTextFormat(Qt::PlainText);
        at->second.first.prepare(QTransform(), fc.font);
        at->second.second = fm.horizontalAdvance(s);
    }
    const int w = at->second.second;
    if (!img_->isNull() && !s.isEmpty() && !suppressed_) {
        QPainter& p = Painter();
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (brushStyle_ == bsSolid) p.fillRect(QRect(x, y, w, fm.height()), QColor(ToRgb(brushColor_)));
        p.setFont(fc.font);
        p.setPen(QColor(ToRgb(font_.Color)));
        p.setBrush(Qt::NoBrush);
        p.drawStaticText(QPointF(x, y), at->second.first);
    }
    // The pen moves to the end of the text, as the platform's text output does.
    penPos_ = {x + w, y};
}

int Canvas::TextWidth(const std::string& utf8) {
    return TextWidth(QString::fromStdString(utf8));
}

// Scales measure every label to place it, frame after frame: each text is shaped once per font.
int Canvas::TextWidth(const QString& s) {
    Fonts();
    FontCache& fc = *qfont_;
    if (const auto drawn = fc.laidOut.find(s); drawn != fc.laidOut.end()) return drawn->second.second;
    if (fc.advances.size() > 256) fc.advances.clear(); // the labels of a view or two
    auto [at, fresh] = fc.advances.try_emplace(s);
    if (fresh) at->second = fc.metrics.horizontalAdvance(s);
    return at->second;
}

int Canvas::TextHeight(const std::string& utf8) {
    return TextHeight(QString::fromStdString(utf8));
}

int Canvas::TextHeight(const QString&) {
    return Fonts().metrics.height();
}

// ---- images ----

void Canvas::Draw(int x, int y, const QImage& src) {
    if (suppressed_ || img_->isNull() || src.isNull() || &src == img_) return;
    QPainter& p = Painter();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(x, y), src);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Canvas::CopyRect(const QRect& dst, const QImage& src, const QRect& srcRect) {
    if (suppressed_ || img_->isNull() || src.isNull() || dst.isEmpty() || srcRect.isEmpty()) return;
    if (&src == img_) {
        const QImage copy = src.copy(srcRect);
        CopyRect(dst, copy, copy.rect());
        return;
    }
    QPainter& p = Painter();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(dst, src, srcRect);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Canvas::StretchDraw(const QRect& dst, const QImage& src) {
    if (src.isNull()) return;
    CopyRect(dst, src, src.rect());
}
