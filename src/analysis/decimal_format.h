#pragma once
// Fixed-point texts for the analysis results, rounded the way a person rounds the number as it
// is written in decimal: half away from zero. The written form of a double is its shortest
// round-trip decimal text, so 3.175 (stored as 3.17499999999999982...) shows as 3.18, where
// printf, which rounds the exact binary value, would show 3.17.

#include <string>

namespace korvane {

// `value` with exactly `decimals` digits after the point (none and no point when 0), a leading
// "-" for a negative value (also when it rounds to zero), no leading zeros beyond one before the
// point. Infinite and NaN values give "inf", "-inf" and "nan".
std::string formatFixed(double value, int decimals);

}  // namespace korvane
