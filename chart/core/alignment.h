#pragma once
// Horizontal placement of a text relative to its anchor point.

#include <cstdint>

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
