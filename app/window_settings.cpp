#include "app/window_settings.h"

#include "chart/kartex.h"
#include "serial/comport.h"
#include "serial/comtext.h"

#include <algorithm>
#include <stdexcept>

#include <QCursor>

void ConfigureMainChart(TKartex& k) {
    k.setCursor(Qt::PointingHandCursor);
    k.SetAllocSize(250000);
    k.SetAutoRedraw(true);
    k.SetLRim(50);
    k.SetRRim(20);
    k.SetTRim(20);
    k.SetBRim(40);
    k.SetGridStyle(gsLines);
    k.SetGridColor(0xC0C0C0);
    k.SetClassDefault(0);
    k.SetMouseAction(maPan);
    k.SetScaleRange(1, 0, 1, 100, 200);
}

void ApplyLogY(TKartex& k, float xmax, float ymax, float ymin) {
    k.Scale1X()->SetMinTicks(6);
    k.Scale1Y()->SetMinTicks(6);
    k.SetMouseAction(maPan);
    k.SetScaleRange(1, 0.0L, ymin, xmax, ymax);
    k.Scale1Y()->SetLogarithmic(true);
}

void ConfigureMainPort(TComPort& p) {
    p.SetPort("COM5");
    p.SetBaudRate(br115200);
    p.SetDataBits(dbEight);
    p.SetStopBits(sbOneStopBit);
    p.SetEventChar('\r');
    p.SetEvents({evRxChar, evTxEmpty, evRxFlag, evBreak, evError, evRLSD, evRx80Full});
}

void SetBaudFromText(TComPort& port, const std::string& text) {
    const auto& texts = BaudRateTexts();
    const auto it = std::find(texts.begin() + 1, texts.end(), text);
    if (it != texts.end()) {
        port.SetBaudRate(static_cast<TBaudRate>(it - texts.begin()));
        return;
    }
    std::size_t used = 0;
    unsigned long rate = 0;
    try {
        rate = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || rate == 0 || rate > 4000000)
        throw std::invalid_argument("'" + text + "' is not a baud rate");
    port.SetCustomBaudRate(static_cast<std::uint32_t>(rate));
    port.SetBaudRate(brCustom);
}

void KartexSink::MoveToPoint(double x, double y) {
    chart_.MoveToPoint(x, y);
}
void KartexSink::LineToPoint(double x, double y) {
    chart_.LineToPoint(x, y);
}
