#include "app/view_texts.h"

QString ValueText(double value, const LocaleSeparator& separator) {
    return QString::fromStdString(FormatPlotValue(static_cast<float>(value), separator));
}

QString StatsText(const TYRange& r, const LocaleSeparator& separator, const QString& gap) {
    QString mean = QString::number(r.Mean(), 'g', 6);
    mean.replace(QChar('.'), QString::fromStdString(std::string(separator.Text())));
    return QStringLiteral("Min %1%4Max %2%4Mittel %3")
        .arg(ValueText(r.Min, separator), ValueText(r.Max, separator), mean, gap);
}
