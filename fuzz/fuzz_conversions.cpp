// The field conversions and the received-number rule over arbitrary text: they either give a value or
// the conversion error, never anything else, and an accepted field value is a finite single.

#include "app/conversions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (char sep : {',', '.'}) {
        try {
            const float v = LocaleTextToFloat(text, sep);
            if (!std::isfinite(v)) std::abort();
            // The value label's text of an accepted value reads back as the same value.
            const std::string shown = FormatPlotValue(v, sep);
            if (LocaleTextToFloat(shown, sep) != v) std::abort();
        } catch (const EConvertError&) {
        }
    }
    try {
        const std::int32_t v = TextToInt(text);
        if (text.find_first_of("$xX") == std::string_view::npos && TextToInt(std::to_string(v)) != v)
            std::abort();
    } catch (const EConvertError&) {
    }
    (void)ReceivedTextToDouble(text);
    return 0;
}
