#pragma once
// The lamp pictures of TComLed, drawn here: 15 by 15 pixels, a circular lamp lit or dark per colour, and a
// bulb; the bottom-left pixel is transparent. Looked up by their resource names ("LEDREDON" …).

#include <QImage>

#include <string>

// The picture of a resource name; a null image for an unknown name.
QImage LampPicture(const std::string& resourceName);
