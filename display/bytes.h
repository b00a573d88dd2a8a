// bytes.h -- little-endian loads/stores and checked size arithmetic for file and pixel buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Loads and stores go through memcpy: file buffers and 24-bit display rows are not
// aligned for wider types, and pointer casts there are undefined behaviour.
inline uint16_t load_u16(const void* p)
{
    const auto* b = static_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

inline uint32_t load_u32(const void* p)
{
    const auto* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

inline int32_t load_i32(const void* p)
{
    return static_cast<int32_t>(load_u32(p));
}

inline float load_f32(const void* p)
{
    uint32_t bits = load_u32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline double load_f64(const void* p)
{
    const auto* b = static_cast<const uint8_t*>(p);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | b[i];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline void store_u16(void* p, uint16_t v)
{
    auto* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
}

inline void store_u32(void* p, uint32_t v)
{
    auto* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
    b[2] = uint8_t(v >> 16);
    b[3] = uint8_t(v >> 24);
}

inline void store_f32(void* p, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    store_u32(p, bits);
}

inline void store_f64(void* p, double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    auto* b = static_cast<uint8_t*>(p);
    for (int i = 0; i < 8; ++i)
        b[i] = uint8_t(bits >> (8 * i));
}

// Largest single allocation a loader may ask for. Sizes that come from file counts
// or dimensions are multiplied in 64 bits and rejected above this before allocating.
constexpr uint64_t MAX_ALLOCATION = uint64_t(1) << 30;

// a * b (* c) in 64 bits; false when any factor is negative or the product exceeds
// MAX_ALLOCATION. On success *out holds the product.
inline bool checked_size(int64_t a, int64_t b, uint64_t* out)
{
    if (a < 0 || b < 0)
        return false;
    if (a != 0 && uint64_t(b) > MAX_ALLOCATION / uint64_t(a))
        return false;
    *out = uint64_t(a) * uint64_t(b);
    return *out <= MAX_ALLOCATION;
}

inline bool checked_size(int64_t a, int64_t b, int64_t c, uint64_t* out)
{
    uint64_t ab;
    if (!checked_size(a, b, &ab))
        return false;
    return checked_size(int64_t(ab), c, out);
}
