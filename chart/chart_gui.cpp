// Anchor of the chart's drawing and widget library.
#include "chart/item.h"
