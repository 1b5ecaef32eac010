#pragma once
// Enumerations of the scale settings and scale controls (ordinal = position).

#include <cstdint>

enum TScaleType : std::uint8_t { sctXB, sctXT, sctYL, sctYR };
enum TScaleLocationHoriz : std::uint8_t { slTop, slBottom };
enum TScaleLocationVert : std::uint8_t { slLeft, slRight };
enum TScaleUnitAnchor : std::uint8_t { uaSclTopLft, uaSclCenter, uaSclBotRgt };
enum TFigType : std::uint8_t { ftNoFigs, ftNum, ftTime, ftDateTime, ftUserText };
enum TFrameStyle : std::uint8_t { fsNone, fsSimple, fsLowered, fsRaised, fsEmbossed, fsEngraved };
enum TColorScheme : std::uint8_t { csBWG, csSystem };
enum TTimeFormat : std::uint8_t { tfHHMMSS, tfHHhMM, tfAMPM };
enum TYearLength : std::uint8_t { ylNone, ylYY, ylYYYY };
enum TDateOrder : std::uint8_t { doMMDDYY, doDDMMYY, doYYMMDD };
enum TDateForTime : std::uint8_t { dtNone, dtOnePerChart, dtOnePerDay, dtAllTicks };

inline bool IsHorizontal(TScaleType t) {
    return t == sctXB || t == sctXT;
}
