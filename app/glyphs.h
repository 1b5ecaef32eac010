#pragma once
// The 16 × 16 pictures of the main window's speed buttons, drawn here, each with a disabled look.

#include <QByteArray>
#include <QIcon>
#include <QImage>

namespace glyphs {
QIcon Start();
QIcon Stop();
QIcon ClearGraph();
QIcon ResetAxis();
QIcon AppIcon(); // the program's icon: a small chart with a rising line
// The same icon as a picture of size × size pixels, and as an SVG document (for the icon theme).
QImage AppIconImage(int size);
QByteArray AppIconSvg();
} // namespace glyphs
