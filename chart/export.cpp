#include "chart/export.h"

#include "chart/core/colors.h"
#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"

#include <QImageWriter>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <optional>

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
    QSaveFile file(QString::fromStdString(name));
    if (!file.open(QIODevice::WriteOnly)) throw EBitmapError(name, file.errorString().toStdString());
    QImageWriter writer(&file, "bmp");
    if (!writer.write(picture)) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        throw EBitmapError(name, reason.toStdString());
    }
    if (!file.commit()) throw EBitmapError(name, file.errorString().toStdString());
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
