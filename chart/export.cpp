#include "chart/export.h"

#include "chart/core/colors.h"
#include "chart/core/item_file.h"
#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

#include <unistd.h>

namespace {

// Black on white for the duration of an export; the destructor puts every colour back, also when writing
// the file fails.
class MonochromePalette {
public:
    explicit MonochromePalette(TKartex& chart) : chart_(chart) {
        windColor_ = chart.WindColor();
        chartColor_ = chart.ChartColor();
        frameColor_ = chart.ChartFrameColor();
        font_ = chart.Font();
        shadowColor_ = chart.ShadowColor();
        shadowBakColor_ = chart.ShadowBakColor();
        for (int layer = 1; layer <= TKartex::kLayers; ++layer) {
            scaleX_[layer - 1] = chart.ScaleX(layer)->ColorScale();
            scaleY_[layer - 1] = chart.ScaleY(layer)->ColorScale();
        }

        chart.SetWindColor(clWhite);
        chart.SetChartColor(clWhite);
        chart.SetChartFrameColor(clBlack);
        TFont mono = font_;
        mono.Color = clBlack;
        chart.SetFont(mono);
        chart.SetShadowColor(clSilver);
        chart.SetShadowBakColor(clWhite);
        for (int layer = 1; layer <= TKartex::kLayers; ++layer) {
            chart.ScaleX(layer)->SetColorScale(clBlack);
            chart.ScaleY(layer)->SetColorScale(clBlack);
        }
    }
    ~MonochromePalette() {
        chart_.SetWindColor(windColor_);
        chart_.SetChartColor(chartColor_);
        chart_.SetChartFrameColor(frameColor_);
        chart_.SetFont(font_);
        chart_.SetShadowColor(shadowColor_);
        chart_.SetShadowBakColor(shadowBakColor_);
        for (int layer = 1; layer <= TKartex::kLayers; ++layer) {
            chart_.ScaleX(layer)->SetColorScale(scaleX_[layer - 1]);
            chart_.ScaleY(layer)->SetColorScale(scaleY_[layer - 1]);
        }
    }
    MonochromePalette(const MonochromePalette&) = delete;
    MonochromePalette& operator=(const MonochromePalette&) = delete;

private:
    TKartex& chart_;
    TColor windColor_, chartColor_, frameColor_, shadowColor_, shadowBakColor_;
    TFont font_;
    std::array<TColor, TKartex::kLayers> scaleX_{}, scaleY_{};
};

// The export draws into ChartBitmap, which is what the screen shows: the settings changes must not paint
// meanwhile, and the chart's own picture is rendered again when the export ends (PaintSuppression).
void WriteBmp(const QImage& picture, const std::string& name) {
    // Encoded in memory first, so that writing the file is the acquisition files' whole-or-nothing save
    // and a failure names its cause (a full disk, a folder that is missing or not writable).
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, "bmp");
    if (!writer.write(picture)) throw EBitmapError(name, writer.errorString().toStdString());
    const QByteArray& bytes = encoded.data();
    try {
        SaveWholeFile(
            name,
            [&bytes](int fd) {
                for (qsizetype done = 0; done < bytes.size();) {
                    const ssize_t n =
                        ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
                    if (n < 0 && errno == EINTR) continue;
                    if (n <= 0) return n < 0 ? errno : EIO;
                    done += n;
                }
                return 0;
            },
            [&bytes] { return static_cast<std::size_t>(bytes.size()); });
    } catch (const EItemFileError& e) {
        throw EBitmapError(name, e.Reason());
    }
}

} // namespace

EBitmapError::EBitmapError(std::string fileName, std::string reason)
    : std::runtime_error("Cannot write \"" + fileName + "\": " + reason), fileName_(std::move(fileName)),
      reason_(std::move(reason)) {}

std::string BitmapFileName(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string::npos && dot > nameStart) return fileName.substr(0, dot) + ".bmp";
    return fileName + ".bmp";
}

void TKartex::ExportBitmap(const std::string& fileName, bool monochrome) {
    const std::string name = BitmapFileName(fileName);
    PaintSuppression pause(*this);
    // Declared after the pause: the colours are back before the closing repaint.
    std::optional<MonochromePalette> palette;
    if (monochrome) palette.emplace(*this);

    Canvas plot(std::max(0, PlotWidth() + 1), std::max(0, PlotHeight() + 1));
    RenderScales(chartCanvas_);
    RenderPlotBackground(plot, 0, 0);
    RenderData(plot, 0, 0, monochrome, false);
    chartCanvas_.Draw(geom_.LRim, geom_.TRim, plot.Image());
    WriteBmp(chartCanvas_.Image(), name);
}
