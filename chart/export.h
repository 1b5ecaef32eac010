#pragma once
// Bitmap export: the whole chart control, rendered off screen, written as a Windows BMP file.

#include <stdexcept>
#include <string>

// A bitmap file that could not be written; what() names the file and the reason.
class EBitmapError : public std::runtime_error {
public:
    EBitmapError(std::string fileName, std::string reason);
    const std::string& FileName() const { return fileName_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string fileName_;
    std::string reason_;
};

// The name the picture is written under: the last extension of the file-name part replaced by ".bmp", or
// ".bmp" appended when it has none ("run.1.bmp" stays, "run.txt" gives "run.bmp", "/data.old/run" gives
// "/data.old/run.bmp"). Dots in folder names and a leading dot of the name do not start an extension; both
// '/' and '\' end a folder name.
std::string BitmapFileName(const std::string& fileName);

// TKartex::ExportBitmap(fileName, monochrome) renders the chart as it would appear on screen, without
// crosshairs, and writes it to BitmapFileName(fileName) with the control's width and height. Monochrome
// draws black on white: window, plot area and shadow background white, frame, caption, scales and every
// item black, fills and shadow silver (the grid keeps its colour). The chart's colours are the same
// afterwards in every case, and the screen keeps showing the chart as before. An existing file is replaced
// only by a complete picture. Throws EBitmapError when the file cannot be written.
