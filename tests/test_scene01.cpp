// test_scene01.cpp -- rings through the bump map: song-driven counts, smear, composite, noise, the scene loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/demo.h"
#include "display/demo_rand.h"
#include "scene_script.h"
#include "scenes/scene01_rings.h"

namespace {

constexpr int PIXELS = 320 * 240;

// ---- song-driven values ----

TEST(RingsSong, CountFollowsPositionAndRow)
{
    EXPECT_EQ(ring_count_for_song(0, 40, 0), 0u); // positions 0 and 1 keep the count
    EXPECT_EQ(ring_count_for_song(1, 63, 7), 7u);
    EXPECT_EQ(ring_count_for_song(2, 0, 7), 1u);
    EXPECT_EQ(ring_count_for_song(2, 15, 0), 1u);
    EXPECT_EQ(ring_count_for_song(2, 16, 0), 2u);
    EXPECT_EQ(ring_count_for_song(2, 63, 0), 4u);
    EXPECT_EQ(ring_count_for_song(3, 0, 0), 5u);
    EXPECT_EQ(ring_count_for_song(3, 47, 0), 7u);
    EXPECT_EQ(ring_count_for_song(3, 63, 0), 8u);
    EXPECT_EQ(ring_count_for_song(4, 32, 0), 3u);
    EXPECT_EQ(ring_count_for_song(57, 48, 0), 4u);
}

TEST(RingsSong, SmearStartsAt23OnRows0And32AndFallsToZero)
{
    const uint32_t rows[] = { 0, 1, 22, 23, 31, 32, 40, 54, 55, 63 };
    const int32_t smear[] = { 23, 22, 1, 0, 0, 23, 15, 1, 0, 0 };
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(smear_for_row(rows[k]), smear[k]) << rows[k];
}

TEST(RingsSong, SyncOneIsConsumedAndStartsTheNoise)
{
    window_record = nullptr;
    RingsRun run {};
    scene_number.store(1, std::memory_order_relaxed);
    song_position.store(3, std::memory_order_relaxed);
    song_row.store(33, std::memory_order_relaxed);
    begin_rings_frame(&run);
    EXPECT_EQ(current_scene_number(), 255u);
    EXPECT_EQ(run.noise_on, 1);
    EXPECT_EQ(run.noise_amplitude, 255u);
    EXPECT_EQ(run.ring_count, 7u);
    EXPECT_EQ(run.smear, 22);

    run.noise_amplitude = 9; // a second 1 restarts the burst
    scene_number.store(1, std::memory_order_relaxed);
    song_position.store(0, std::memory_order_relaxed);
    begin_rings_frame(&run);
    EXPECT_EQ(run.noise_amplitude, 255u);
    EXPECT_EQ(run.ring_count, 7u);

    scene_number.store(0, std::memory_order_relaxed);
    run.noise_on = 0;
    begin_rings_frame(&run);
    EXPECT_EQ(current_scene_number(), 0u);
    EXPECT_EQ(run.noise_on, 0);
}

// ---- ring and noise steps ----

struct RingStore {
    Ring records[RING_COUNT] {};
    Ring* pointers[RING_COUNT] {};
    uint32_t colours[RING_COUNT] {};
    RingStore()
    {
        for (int j = 0; j < RING_COUNT; ++j)
            pointers[j] = &records[j];
        reset_rings(pointers, colours);
    }
};

TEST(RingsStep, ActiveRingsRiseGrowAndFadeOncePerTick)
{
    RingStore s;
    RingsRun run {};
    run.ring_count = 2;
    advance_rings_tick(&run, s.pointers, s.colours);
    EXPECT_EQ(s.records[0].x, 257.0);
    EXPECT_EQ(s.records[1].y, 164.0);
    EXPECT_DOUBLE_EQ(s.records[1].radius, 5.1);
    EXPECT_EQ(s.colours[0], 0xFEFEFEFEu);
    EXPECT_EQ(s.records[2].x, 258.0); // inactive rings stay put
    EXPECT_EQ(s.colours[2], 0xFFFFFFFFu);

    for (int t = 1; t < 255; ++t)
        advance_rings_tick(&run, s.pointers, s.colours);
    EXPECT_EQ(s.colours[0], 0u); // black after 255 ticks
    EXPECT_EQ(s.records[0].x, 3.0);
    EXPECT_GE(s.records[0].radius, 30.0); // growth stops once 30 is reached
    EXPECT_LT(s.records[0].radius, 30.1);
}

TEST(RingsStep, NoiseFallsByTwoAndEndsAfter128Ticks)
{
    RingStore s;
    RingsRun run {};
    run.noise_on = 1;
    run.noise_amplitude = 255;
    for (int t = 0; t < 127; ++t)
        advance_rings_tick(&run, s.pointers, s.colours);
    EXPECT_EQ(run.noise_on, 1);
    EXPECT_EQ(run.noise_amplitude, 1u);
    advance_rings_tick(&run, s.pointers, s.colours);
    EXPECT_EQ(run.noise_on, 0);
}

// ---- pixel operations ----

TEST(RingsPixels, SmearAveragesForwardsAcrossRowEnds)
{
    std::vector<uint32_t> p(3 * 320, 0);
    p[318] = 0xFF804020u; // row 0, read by the first smeared pixel of row 1
    p[400] = 0xFF000000u; // only a top byte: averaged away
    p[700] = 0x00ABCDEFu; // row 2 is read but not written
    smear_rows(p.data(), 2, 1, 2);
    // Each even pixel averages the already smeared one two to the left with a black one.
    EXPECT_EQ(p[320], 0x00402010u);
    EXPECT_EQ(p[322], 0x00201008u);
    EXPECT_EQ(p[324], 0x00100804u);
    EXPECT_EQ(p[330], 0x00020100u);
    EXPECT_EQ(p[321], 0u);
    EXPECT_EQ(p[400], 0u);
    EXPECT_EQ(p[318], 0xFF804020u);
    EXPECT_EQ(p[700], 0x00ABCDEFu);

    std::vector<uint32_t> q(3 * 320, 0);
    q[639 + 3] = 0x00020202u; // row 2, reached through the linear run
    smear_rows(q.data(), 3, 1, 2);
    EXPECT_EQ(q[639], 0x00010101u);
    EXPECT_EQ(q[636], 0u);
}

TEST(RingsPixels, CompositeUsesTopByteAsCoverage)
{
    std::vector<uint32_t> src(PIXELS + 1, 0), dst(PIXELS + 1, 0);
    src[0] = 0x00FFFFFFu, dst[0] = 0x00808080u; // no coverage: 1/256 of the source
    src[1] = 0xFF102030u, dst[1] = 0x00FFFFFFu; // full coverage: the source
    src[2] = 0x80FF0000u, dst[2] = 0x0000FF00u; // red 255 * 129 >> 8, green 255 * 128 >> 8
    src[3] = 0x7FFFFFFFu, dst[3] = 0xFFFFFFFFu; // the two halves never exceed 255
    src[PIXELS] = 0xFFFFFFFFu, dst[PIXELS] = 0x01020304u; // past the screen: untouched
    composite_by_coverage(src.data(), dst.data());
    EXPECT_EQ(dst[0], 0x00808080u);
    EXPECT_EQ(dst[1], 0x00102030u);
    EXPECT_EQ(dst[2], 0x00807F00u);
    EXPECT_EQ(dst[3], 0x00FFFFFFu);
    EXPECT_EQ(dst[4], 0u);
    EXPECT_EQ(dst[PIXELS], 0x01020304u);
}

TEST(RingsPixels, NoiseDrawsOneValuePerPixelIntoAllFourBytes)
{
    std::vector<uint32_t> p(PIXELS, 0);
    p[1] = 0xF0F0F0F0u;
    p[PIXELS - 1] = 0x00000010u;
    demo_srand(7);
    std::vector<uint32_t> v(PIXELS);
    for (int i = 0; i < PIXELS; ++i)
        v[i] = uint32_t(demo_rand()) % 255;
    const int after = demo_rand();
    demo_srand(7);
    add_noise(p.data(), 255);
    EXPECT_EQ(demo_rand(), after);
    EXPECT_EQ(p[0], v[0] * 0x01010101u);
    const uint32_t b1 = std::min<uint32_t>(255, 0xF0 + v[1]);
    EXPECT_EQ(p[1], b1 * 0x01010101u);
    const uint32_t last = v[PIXELS - 1];
    EXPECT_EQ(p[PIXELS - 1], ((last * 0x01010101u) & 0xFFFFFF00u) | std::min<uint32_t>(255, 0x10 + last));

    // Amplitude 1 still draws a value per pixel but adds nothing; a divisor of 0 draws nothing.
    std::vector<uint32_t> q(PIXELS, 0x11223344u);
    demo_srand(7);
    add_noise(q.data(), 1);
    add_noise(q.data(), 256);
    EXPECT_EQ(demo_rand(), after);
    EXPECT_EQ(q[5], 0x11223344u);
}

// ---- the scene loop ----

// Stands in for the set-up's data: straight bump tables, empty pictures, fresh surfaces.
class RingsScene : public ::testing::Test {
protected:
    RingStore store;
    std::vector<uint16_t> u = std::vector<uint16_t>(PIXELS), v = std::vector<uint16_t>(PIXELS);
    void SetUp() override
    {
        for (int i = 0; i < PIXELS; ++i) {
            u[i] = uint16_t(i % 320);
            v[i] = uint16_t(i / 320);
        }
        ring_table = store.pointers;
        ring_colours = store.colours;
        store.colours[5] = 0x12345678u; // reset on entry
        bump_u = u.data();
        bump_v = v.data();
        ringface_picture = create_image(1, 1, 0, 0);
        bottle_picture = create_image(1, 1, 0, 0);
        scene_script::begin(0);
        song_position.store(0, std::memory_order_relaxed);
        song_row.store(0, std::memory_order_relaxed);
    }
    void TearDown() override
    {
        scene_script::end();
        destroy_image(ringface_picture);
        destroy_image(bottle_picture);
        ringface_picture = bottle_picture = nullptr;
        ring_table = nullptr;
        ring_colours = nullptr;
        bump_u = bump_v = nullptr;
    }
    uint32_t frame_pixel(int x, int y) { return surface_row32(frame_surface, y)[x]; }
};

TEST_F(RingsScene, NoRingsBeforePositionTwoThenTheSongSetsTheCount)
{
    scene_script::script.on_tick = [](uint32_t tick) {
        if (tick == 5) { // read from the sixth frame on: position 2, row 16 -> 2 rings
            song_position.store(2, std::memory_order_relaxed);
            song_row.store(16, std::memory_order_relaxed);
        }
    };
    scene_script::script.numbers = { { 8, 2 } };
    rings_scene();
    EXPECT_EQ(store.colours[5], 0xFFFFFFFFu);
    // Frames 1-5 read position 0 (count 0); frames 6-8 move rings 0 and 1 by one step each.
    EXPECT_EQ(store.records[0].x, 255.0);
    EXPECT_EQ(store.records[1].y, 162.0);
    EXPECT_EQ(store.colours[1], 0xFCFCFCFCu);
    EXPECT_EQ(store.records[2].x, 258.0);
    EXPECT_EQ(store.records[2].radius, 5.0);
    // The last frame shows the two rings, refracted (straight tables) and composited: the
    // pixel on ring 0's circle to its right carries (nearly) its full colour.
    const uint32_t on_circle = frame_pixel(255 + 5, 162);
    EXPECT_GT(on_circle & 0xFF, 0xE0u);
    EXPECT_EQ(on_circle >> 24, 0u);
    EXPECT_EQ(frame_pixel(10, 10), 0u);
}

TEST_F(RingsScene, FrameSpanningSeveralTicksMovesRingsThatManySteps)
{
    song_position.store(3, std::memory_order_relaxed); // row 0 at position 3: 5 rings
    scene_script::play(rings_scene, { { 12, 2 } }, { { 1, 2 }, { 4, 2 }, { 7, 2 }, { 10, 2 } }); // 3 ticks a frame
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(store.records[j].x, 258.0 - 12) << j;
        EXPECT_EQ(store.colours[j], 0xFFFFFFFFu - 12 * 0x01010101u) << j;
    }
    EXPECT_EQ(store.records[5].x, 258.0);
}

TEST_F(RingsScene, SyncOneBecomes255AndTheNoiseBurstLasts127Frames)
{
    scene_number.store(1, std::memory_order_relaxed);
    static int scene_after_first;
    scene_after_first = -1;
    scene_script::script.on_tick = [](uint32_t tick) {
        if (tick == 1)
            scene_after_first = int(current_scene_number());
    };
    demo_srand(321);
    scene_script::play(rings_scene, { { 130, 2 } });
    const int next[3] = { demo_rand(), demo_rand(), demo_rand() };
    EXPECT_EQ(scene_after_first, 255);
    // The amplitude after each frame's tick is 253, 251, ..., 1 over frames 1-127; at the
    // 128th tick the burst ends. Each noisy frame draws one value per pixel.
    demo_srand(321);
    for (int i = 0; i < 127 * PIXELS; ++i)
        demo_rand();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(demo_rand(), next[k]);
}

TEST_F(RingsScene, ReturnsAtOnceWithoutItsData)
{
    bump_u = nullptr;
    scene_script::play(rings_scene, { { 1000, 2 } });
    EXPECT_EQ(scene_script::tick(), 0u);
}

} // namespace
