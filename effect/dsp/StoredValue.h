#pragma once

#include <cmath>

// Stored program values are floats that may hold anything a host or a file
// wrote; list positions are taken from them by truncation toward zero.
// The conversion saturates at the given bounds and gives nanValue for NaN, so
// no value can reach an undefined float-to-int conversion.
inline int truncateStored(float value, int low, int high, int nanValue)
{
    if (std::isnan(value))
        return nanValue;
    const float t = std::trunc(value);
    if (t <= static_cast<float>(low))
        return low;
    if (t >= static_cast<float>(high))
        return high;
    return static_cast<int>(t);
}
