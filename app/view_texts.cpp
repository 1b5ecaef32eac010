#include "app/view_texts.h"

#include <QCoreApplication>

#include <algorithm>

QString ValueText(double value, const LocaleSeparator& separator) {
    return QString::fromStdString(FormatPlotValue(static_cast<float>(value), separator));
}

QString StatsText(const TYRange& r, const LocaleSeparator& separator, const QString& gap) {
    QString mean = QString::number(r.Mean(), 'g', 6);
    mean.replace(QChar('.'), QString::fromStdString(std::string(separator.Text())));
    return QCoreApplication::translate("StatsText", "Min %1%4Max %2%4Mittel %3")
        .arg(ValueText(r.Min, separator), ValueText(r.Max, separator), mean, gap);
}

namespace {
bool ValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80                ? 1
                              : c >= 0xC2 && c < 0xE0 ? 2
                              : c >= 0xE0 && c < 0xF0 ? 3
                              : c >= 0xF0 && c < 0xF5 ? 4
                                                      : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}
} // namespace

QString DeviceText(std::string_view bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || !ValidUtf8(bytes)) return QString::fromLatin1(bytes.data(), size);
    return QString::fromUtf8(bytes.data(), size);
}
