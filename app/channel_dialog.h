#pragma once
// "Kanäle": a table of the acquisition's channels, one row each (name, unit, scale factor, offset,
// colour, shown, axis), edited together and taken with "OK".

#include "chart/core/colors.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <vector>

class QSpinBox;
class QTableWidget;

struct ChannelSetting {
    QString Name; // empty: the device's name, or "Kanal N"
    QString Unit;
    // Text of the factor and the offset as typed, in the user's decimal separator; empty: those of
    // channel 1 (the fields "Roh-Daten Skalierungsfaktor" and "Daten Offset").
    QString Scale, Offset;
    TColor Color = 0;
    bool Shown = true;
    bool Right = false; // on the right y axis
    bool Lane = false;  // in a lane of its own (channels 2 … 15)
    QString For;        // the device's name of the channel when the row was remembered (empty: none)
};

class ChannelDialog : public QDialog {
    Q_OBJECT
public:
    // The rows, channel 1 first; `deviceNames` the names the device gave (or the loaded file holds),
    // shown beside the user's own, which win over them.
    // `trail`: how many of the newest points "X: Kanal N" draws (0: all).
    ChannelDialog(QWidget* parent, const std::vector<ChannelSetting>& rows,
                  const std::vector<QString>& deviceNames, int trail = 0);
    std::vector<ChannelSetting> Rows() const;
    int Trail() const;
    QSpinBox* TrailBox() const { return trail_; }
    QTableWidget* Table() const { return table_; }

    // Column order of the table.
    enum Column { cDevice, cName, cUnit, cScale, cOffset, cColor, cShown, cAxis, cColumns };

private:
    QTableWidget* table_;
    QSpinBox* trail_;
    std::vector<TColor> colors_;
};
