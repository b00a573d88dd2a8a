// test_scene01.cpp -- rings through the bump map: song-driven counts, smear, the tick's steps. The
// composite, the noise and the scene loop are pinned by the golden frames (one inside a burst).
#include <gtest/gtest.h>

#include <vector>

#include "app/demo.h"
#include "app/window.h"
#include "scenes/scene01_rings.h"

namespace {

TEST(RingsSong, CountFollowsPositionAndRowSmearFallsFrom23AndSyncOneStartsTheNoise)
{
    // (position, row, previous count) -> count: positions 0 and 1 keep the count; from 2 on the
    // row's quarter (and the position) sets it.
    const uint32_t counts[][4] = { { 0, 40, 0, 0 }, { 1, 63, 7, 7 }, { 2, 0, 7, 1 }, { 2, 15, 0, 1 }, { 2, 16, 0, 2 },
        { 2, 63, 0, 4 }, { 3, 0, 0, 5 }, { 3, 47, 0, 7 }, { 3, 63, 0, 8 }, { 4, 32, 0, 3 }, { 57, 48, 0, 4 } };
    for (const auto& c : counts)
        EXPECT_EQ(ring_count_for_song(c[0], c[1], c[2]), c[3]) << c[0] << "/" << c[1];
    const int32_t smear[][2] = { { 0, 23 }, { 1, 22 }, { 22, 1 }, { 23, 0 }, { 31, 0 }, { 32, 23 }, { 40, 15 },
        { 54, 1 }, { 55, 0 }, { 63, 0 } };
    for (const auto& [row, offset] : smear)
        EXPECT_EQ(smear_for_row(uint32_t(row)), offset) << row;

    // A frame that reads scene number 1 consumes it and starts (or restarts) the burst.
    window_record = nullptr;
    RingsRun run { 0, 0, 9, 0 };
    scene_number.store(1, std::memory_order_relaxed);
    song_position.store(3, std::memory_order_relaxed);
    song_row.store(33, std::memory_order_relaxed);
    begin_rings_frame(&run);
    EXPECT_EQ(current_scene_number(), 255u);
    EXPECT_EQ(run.noise_on, 1);
    EXPECT_EQ(run.noise_amplitude, 255u);
    EXPECT_EQ(run.ring_count, 7u);
    EXPECT_EQ(run.smear, 22);
}

TEST(RingsStep, ActiveRingsRiseGrowAndFadeOncePerTickAndTheNoiseFallsByTwo)
{
    Ring records[RING_COUNT] {};
    Ring* rings[RING_COUNT];
    uint32_t colours[RING_COUNT];
    for (int j = 0; j < RING_COUNT; ++j)
        rings[j] = &records[j];
    reset_rings(rings, colours);
    RingsRun run { 2, 1, 255, 0 }; // two rings, noise on at 255
    advance_rings_tick(&run, rings, colours);
    EXPECT_EQ(records[0].x, 257.0);
    EXPECT_EQ(records[1].y, 164.0);
    EXPECT_DOUBLE_EQ(records[1].radius, 5.1);
    EXPECT_EQ(colours[0], 0xFEFEFEFEu);
    EXPECT_EQ(records[2].x, 258.0); // inactive rings stay put
    EXPECT_EQ(run.noise_amplitude, 253u);
    for (int t = 1; t < 127; ++t)
        advance_rings_tick(&run, rings, colours);
    EXPECT_EQ(run.noise_amplitude, 1u);
    EXPECT_EQ(run.noise_on, 1);
    advance_rings_tick(&run, rings, colours); // the 128th tick ends the burst
    EXPECT_EQ(run.noise_on, 0);
    for (int t = 128; t < 255; ++t)
        advance_rings_tick(&run, rings, colours);
    EXPECT_EQ(colours[0], 0u); // black after 255 ticks
    EXPECT_GE(records[0].radius, 30.0); // growth stops once 30 is reached
    EXPECT_LT(records[0].radius, 30.1);
}

TEST(RingsPixels, SmearAveragesForwardsAcrossRowEnds)
{
    std::vector<uint32_t> p(3 * 320, 0);
    p[318] = 0xFF804020u; // row 0, read by the first smeared pixel of row 1
    p[400] = 0xFF000000u; // only a top byte: averaged away
    p[700] = 0x00ABCDEFu; // row 2 is read but not written
    smear_rows(p.data(), 2, 1, 2);
    // Each even pixel averages the already smeared one two to the left with a black one.
    const std::pair<int, uint32_t> cases[] = { { 320, 0x00402010u }, { 322, 0x00201008u }, { 324, 0x00100804u },
        { 330, 0x00020100u }, { 321, 0u }, { 400, 0u }, { 318, 0xFF804020u }, { 700, 0x00ABCDEFu } };
    for (const auto& [i, colour] : cases)
        EXPECT_EQ(p[i], colour) << i;
}

} // namespace
