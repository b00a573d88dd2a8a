// surface_fixture.h -- owned test surfaces, filled and read back pixel by pixel; a hash for test patterns.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "display/surface.h"

struct SurfaceDeleter {
    void operator()(Surface* s) const { destroy_surface(s); }
};
using SurfacePtr = std::unique_ptr<Surface, SurfaceDeleter>;

inline void fill_surface(Surface* s, uint32_t value)
{
    for (int y = 0; y < s->height; ++y)
        std::fill_n(surface_row32(s, y), s->width, value);
}

// A 32-bit surface with every pixel set to fill.
inline SurfacePtr make_surface(int width, int height, uint32_t fill = 0)
{
    SurfacePtr s(create_surface(width, height, 32));
    fill_surface(s.get(), fill);
    return s;
}

inline uint32_t& pixel(Surface* s, int x, int y)
{
    return surface_row32(s, y)[x];
}

inline int count_not(const Surface* s, uint32_t value)
{
    int n = 0;
    for (int y = 0; y < s->height; ++y)
        n += int(s->width - std::count(surface_row32(s, y), surface_row32(s, y) + s->width, value));
    return n;
}

// An update entry's corners as {left, top, right, bottom}.
inline std::array<int, 4> corners(const UpdateEntry& e)
{
    return { e.left, e.top, e.right, e.bottom };
}

// A cheap integer hash: varied, repeatable pixel and table patterns.
inline uint32_t mix(uint32_t v)
{
    v ^= v >> 15;
    v *= 0x2C1B3C6Du;
    v ^= v >> 12;
    return v;
}
