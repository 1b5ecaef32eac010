// Anchor of the chart core library; the record layout checks live in item.h.
#include "chart/item.h"
