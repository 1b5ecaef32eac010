#pragma once
// Enumerations, the error class and the background-image settings of the chart control.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

enum TShadowStyle : std::uint8_t { ssFlying, ssBox };

enum TCaptionAnchorHoriz : std::uint8_t {
    cahControlLeft,
    cahChartLeft,
    cahChartCenter,
    cahChartRight,
    cahControlRight,
};

enum TCaptionAnchorVert : std::uint8_t {
    cavControlTop,
    cavChartTop,
    cavChartCenter,
    cavChartBottom,
    cavControlBottom,
};

enum TkxLayout : std::uint8_t {
    kxl_X1Bottom_Y1Left,
    kxl_X1Bottom_Y2Left,
    kxl_X1Bottom_Y3Left,
    kxl_X1Bottom_Y4Left,
    kxl_X1Bottom_Y2Both,
    kxl_X2Bottom_Y2Left,
    kxl_X2Both_Y2Both,
};

enum TBkgFill : std::uint8_t { bfSimple, bfStretch, bfTile };

// Invalid layer coupling.
class EKartexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The picture file behind the plot area. Every change notifies the chart.
class TBakGndImg {
public:
    const std::string& Name() const { return name_; }
    // Without IncludePath only the file-name part is kept (looked up in the current directory).
    void SetName(const std::string& v);
    bool IncludePath() const { return includePath_; }
    void SetIncludePath(bool v);
    TBkgFill FillMode() const { return fillMode_; }
    void SetFillMode(TBkgFill v);

    // Drops the name without notifying (a picture that could not be loaded).
    void ForgetName() { name_.clear(); }

    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }

    std::string name_;
    bool includePath_ = false;
    TBkgFill fillMode_ = bfStretch;
};
