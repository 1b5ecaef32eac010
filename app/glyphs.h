#pragma once
// The 16 × 16 pictures of the main window's speed buttons, drawn here, each with a disabled look.

#include <QIcon>

namespace glyphs {
QIcon Start();
QIcon Stop();
QIcon ClearGraph();
QIcon ResetAxis();
QIcon AppIcon(); // the program's icon: a small chart with a rising line
} // namespace glyphs
