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

// Rounds a double to single precision: the value a float field or variable holds. Every
// narrowing whose result is used again goes through here, because GCC 12's SLP vectoriser can
// drop a double -> float -> double round trip it vectorises (the swarm's particle starts came
// out one ulp off at -O2). The empty asm hands the compiler a float it cannot see through.
inline float single(double v)
{
    float f = static_cast<float>(v);
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __asm__("" : "+x"(f));
#elif defined(__GNUC__) && defined(__aarch64__)
    __asm__("" : "+w"(f));
#else
    volatile float kept = f;
    f = kept;
#endif
    return f;
}
