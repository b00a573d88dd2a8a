// scene01_rings.cpp -- scenes 0 and 1: rings rising over two pictures, refracted by the bump map.
#include "scenes/scene01_rings.h"

#include <cstring>

#include "app/demo.h"
#include "display/demo_rand.h"
#include "display/numeric.h"
#include "display/pixel.h"
#include "effects/light.h"

namespace {

constexpr int ROW = 320;
constexpr int ROWS = 240;
constexpr int PIXELS = ROW * ROWS;

bool is_screen_surface(const Surface* s)
{
    return s && s->pixels && s->width == ROW && s->height == ROWS && s->pitch == ROW * int(sizeof(uint32_t));
}

uint32_t* pixels_of(Surface* s)
{
    return surface_row32(s, 0);
}

// Per-channel (a + b) >> 1 for red, green and blue; the top byte comes out 0.
inline uint32_t mean_rgb(uint32_t a, uint32_t b)
{
    return ((a & 0x00FEFEFEu) >> 1) + ((b & 0x00FEFEFEu) >> 1) + (a & b & 0x00010101u);
}

} // namespace

void reset_rings(Ring* const* rings, uint32_t* colours)
{
    for (int j = 0; j < RING_COUNT; ++j) {
        rings[j]->x = RING_START_X;
        rings[j]->y = RING_START_Y;
        rings[j]->radius = RING_START_RADIUS;
        colours[j] = RING_START_COLOUR;
    }
}

uint32_t ring_count_for_song(uint32_t position, uint32_t row, uint32_t previous)
{
    if (position == 3)
        return ((row >> 4) & 15) + 5;
    if (position == 2 || position >= 4)
        return ((row >> 4) & 15) + 1;
    return previous;
}

int32_t smear_for_row(uint32_t row)
{
    const int32_t c = 23 - int32_t(row & 31);
    return c < 0 ? 0 : c;
}

void begin_rings_frame(RingsRun* run)
{
    if (current_scene_number() == 1) {
        consume_scene_event(1);
        run->noise_on = 1;
        run->noise_amplitude = NOISE_START_AMPLITUDE;
    }
    // Position and row are read separately, as the callback writes them; a rare mix of two
    // sync commands only affects one frame.
    const uint32_t position = song_position.load(std::memory_order_relaxed);
    const uint32_t row = song_row.load(std::memory_order_relaxed);
    // Never more rings than records, whatever a bad song reports as its row.
    const uint32_t count = ring_count_for_song(position, row, run->ring_count);
    run->ring_count = count > uint32_t(RING_COUNT) ? uint32_t(RING_COUNT) : count;
    run->smear = smear_for_row(row);
}

void advance_rings_tick(RingsRun* run, Ring* const* rings, uint32_t* colours)
{
    for (uint32_t j = 0; j < run->ring_count; ++j) {
        Ring* ring = rings[j];
        ring->x -= 1.0;
        ring->y -= 1.0;
        if (ring->radius < RING_MAX_RADIUS)
            ring->radius += 0.1;
        colours[j] -= 0x01010101u; // every byte falls by one; black after 255 ticks
    }
    if (run->noise_on) {
        if (run->noise_amplitude <= 1)
            run->noise_on = 0;
        else
            run->noise_amplitude -= 2;
    }
}

void draw_rings_frame(const RingsRun* run, const RingsFrame* f)
{
    uint32_t* frame = pixels_of(f->frame);
    std::memset(frame, 0, sizeof(uint32_t) * PIXELS);
    draw_image(f->frame, f->bottle, 120, 60);
    if (run->smear != 0)
        smear_rows(frame, run->smear, SMEAR_FIRST_ROW, SMEAR_END_ROW);
    for (uint32_t j = 0; j < run->ring_count; ++j) {
        const Ring* ring = f->rings[j];
        draw_ring(
            f->rings_surface, single(ring->x), single(ring->y), single(ring->radius), RING_HALF_WIDTH, f->colours[j]);
    }
    warp_screen(0, 0, f->bump_u, f->bump_v, pixels_of(f->rings_surface), pixels_of(f->refracted), ROW, ROWS);
    draw_image(f->frame, f->ringface, 0, 0);
    composite_by_coverage(pixels_of(f->refracted), frame);
    if (run->noise_on)
        add_noise(frame, run->noise_amplitude);
}

void smear_rows(uint32_t* pixels, int c, int first, int end)
{
    // Forwards and in place: p[i - c] has already been smeared when p[i] is.
    for (int64_t i = int64_t(first) * ROW; i < int64_t(end) * ROW; ++i)
        pixels[i] = mean_rgb(pixels[i - c], pixels[i + c]);
}

void composite_by_coverage(const uint32_t* src, uint32_t* dst)
{
    for (int i = 0; i < PIXELS; ++i) {
        const uint32_t s = src[i];
        const uint32_t d = dst[i];
        const uint32_t a = s >> 24;
        const uint32_t keep = 256 - a;
        const uint32_t take = a + 1;
        // Each product fits its 16-bit lane (255 * 256), and the two halves of a channel add
        // up to at most 255, so nothing carries into the next channel.
        const uint32_t rb
            = ((((d & 0x00FF00FFu) * keep) >> 8) & 0x00FF00FFu) + ((((s & 0x00FF00FFu) * take) >> 8) & 0x00FF00FFu);
        const uint32_t g
            = ((((d & 0x0000FF00u) * keep) >> 8) & 0x0000FF00u) + ((((s & 0x0000FF00u) * take) >> 8) & 0x0000FF00u);
        dst[i] = rb | g;
    }
}

void add_noise(uint32_t* pixels, uint32_t n)
{
    const uint32_t divisor = n & 255;
    if (divisor == 0)
        return; // no valid amplitude: no noise rather than a division by zero
    for (int i = 0; i < PIXELS; ++i) {
        const uint32_t v = uint32_t(demo_rand()) % divisor;
        pixels[i] = add_saturate_bytes(pixels[i], v * 0x01010101u);
    }
}

void rings_scene()
{
    RingsFrame f { ring_table, ring_colours, bump_u, bump_v, bottle_picture, ringface_picture, frame_surface,
        work_surface_1, work_surface_2 };
    if (!f.rings || !f.colours || !f.bump_u || !f.bump_v || !f.bottle || !f.ringface || !is_screen_surface(f.frame)
        || !is_screen_surface(f.rings_surface) || !is_screen_surface(f.refracted))
        return;
    reset_rings(f.rings, f.colours);
    RingsRun run {};
    while (scene_keeps_running(0, 1)) {
        begin_rings_frame(&run);
        elapsed_ticks = wait_tick();
        std::memset(pixels_of(f.rings_surface), 0, sizeof(uint32_t) * PIXELS);
        for (uint32_t t = 0; t < elapsed_ticks; ++t)
            advance_rings_tick(&run, f.rings, f.colours);
        draw_rings_frame(&run, &f);
        present(f.frame, nullptr);
        show_frame();
        poll_messages();
    }
}
