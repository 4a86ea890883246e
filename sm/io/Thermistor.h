#pragma once
// The NTC thermistor of the analog modules and wireless tags (B = 3435, 10 kOhm at 25 C):
// temperature from the ratio of its resistance to 0.1 kOhm, and the point value in
// hundredths of a degree.
#include <math.h>
#include <stdint.h>

namespace qx {
namespace thermistor {

// Degrees Celsius for R / 100 Ohm; not finite where the ratio is 0, 1 or not finite.
inline double Celsius(double ratio) {
    double l = ratio > 0.0 ? log(ratio) : NAN;
    return l != 0.0 && isfinite(l) ? 3435.0 / l - 273.15 : NAN;
}

// Hundredths of a degree, truncated; 0 for a temperature that is not finite or whose
// hundredths lie outside 0..65535 (a broken or shorted sensor).
inline uint16_t Centi(double celsius) {
    double c = celsius * 100.0;
    if (!(c >= 0.0 && c < 65536.0)) return 0;
    return (uint16_t)c;
}

}  // namespace thermistor
}  // namespace qx
