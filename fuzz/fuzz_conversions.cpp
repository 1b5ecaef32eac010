// The field conversions and the received-number rule over arbitrary text: they either give a value or
// the conversion error, never anything else, and an accepted field value is a finite single.

#include "app/core/conversions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const LocaleSeparator& sep :
         {LocaleSeparator(','), LocaleSeparator('.'), LocaleSeparator(std::string("\u066B"))}) {
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
    // A received number beyond the double range is an infinity when it is too large and zero when it is
    // too small, as the C library's own conversion says; inside the range the two agree exactly.
    if (const auto received = ReceivedTextToDouble(text);
        received && !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string_view::npos) {
        const std::string plain(text);
        char* end = nullptr;
        const double reference = std::strtod(plain.c_str(), &end);
        if (std::isinf(reference) != std::isinf(*received)) std::abort();
        if (std::isfinite(reference) && std::fabs(reference) >= 1e-300 && reference != *received)
            std::abort();
        if (std::fabs(reference) < 1e-300 && *received != 0 && *received != reference) std::abort();
    }
    return 0;
}
