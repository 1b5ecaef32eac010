#pragma once
// The texts the status bar, the legend and the value display give of samples, in the user's decimal
// separator: one place for each, so that they read alike.

#include "app/core/conversions.h"
#include "chart/core/line_run_index.h"

#include <QString>

// Text from the device (a line, a channel's name): UTF-8 where it is valid UTF-8, as most devices send
// today ("°C" as two bytes), else one character per byte in the 8-bit code page (Latin-1).
QString DeviceText(std::string_view bytes);

// A sample's value as the chart formats it ("12,5").
QString ValueText(double value, const LocaleSeparator& separator);

// "Min 10<gap>Max 90<gap>Mittel 50,2122" of samples in view (Count > 0): the mean to six digits, more
// would be noise of the summation.
QString StatsText(const TYRange& r, const LocaleSeparator& separator, const QString& gap);
