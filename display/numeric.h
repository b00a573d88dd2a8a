// numeric.h -- float-to-integer conversions with defined results everywhere.
#pragma once

#include <cmath>
#include <cstdint>

// Truncate towards zero into a 32-bit integer. NaN, infinities and values outside
// [-2^31, 2^31) give INT32_MIN, which is what the x86 truncating conversion yields;
// a bare static_cast would be undefined behaviour for those inputs.
constexpr int32_t trunc_i32(double v)
{
    if (!(v >= -2147483648.0 && v < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Round half up, computed in double: floor(v + 0.5). Taking the argument as double
// matters: in float, 0.49999997f + 0.5f rounds to 1.
inline double nearest(double v)
{
    return std::floor(v + 0.5);
}

// nearest() converted to an integer through trunc_i32 (the result is already whole).
inline int32_t nearest_i32(double v)
{
    return trunc_i32(nearest(v));
}
