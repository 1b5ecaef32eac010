#include "app/port_settings.h"

#include "serial/core/comport.h"
#include "serial/core/comtext.h"

#include <algorithm>
#include <stdexcept>

void ConfigureMainPort(TComPort& p) {
    p.SetPort("COM5");
    p.SetBaudRate(br115200);
    p.SetDataBits(dbEight);
    p.SetStopBits(sbOneStopBit);
    p.SetEventChar('\r');
    p.SetEvents({evRxChar, evTxEmpty, evRxFlag, evBreak, evError, evRLSD, evRx80Full});
    // Several seconds of input at 115200 baud; the flow-control limits follow from it.
    p.Buffer().SetInputSize(64000);
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
