#pragma once
// Calendar date/time ticks (ftDateTime); used by ComputeTicks.

#include "chart/core/ticks.h"

#include <string>

void DateTimeTicks(const TTickInput& in, int minTicks, TTickLayout& out);

// Texts of date/time labels, by the label format.
std::string DateText(double day, const TDateTimeFormat& f);
// units: 24 hours, 1440 minutes, 86400 seconds or 8640000 hundredths of a second per day.
std::string TimeOfDayText(double day, int units, const TDateTimeFormat& f);
