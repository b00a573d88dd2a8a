// test_sound_xm.cpp -- XM writer: what a player reads back and hears, and what a file cannot hold.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "tools/formats/xm_writer.h"

namespace {

// One full-scale 16-bit sine period of 128 frames, looped: C-4 when tuned for 33488.07 Hz.
XmSample sine_sample()
{
    XmSample sample;
    for (int i = 0; i < 128; ++i)
        sample.frames.push_back(int16_t(std::lround(32767.0 * std::sin(2.0 * M_PI * i / 128.0))));
    sample.loop = XM_LOOP_FORWARD;
    sample.loop_length = 128;
    xm_tune_sample(&sample, 33488.07, XM_NOTE_C4);
    return sample;
}

// Header, order list, pattern lengths and packed cells as a player reads them back: it numbers
// notes an octave up (FT2's B-4, 60, is its 72) and reads a key-off as 255. The sine sample must be
// delta-coded (raw PCM would play as noise) and tuned: a C-4 of it is 261.63 Hz and peaks at 0.265
// per side (full scale, volume 64, centre pan, FT2 mix levels).
TEST(XmWriter, PlayerReadsAndPlaysBackWhatWasWritten)
{
    XmSong song;
    xm_init_song(&song, "readback", 3);
    XmSample sample = sine_sample();
    int instrument = xm_add_instrument(&song, "sine", &sample);
    xm_add_instrument(&song, "empty", nullptr);
    ASSERT_EQ(xm_add_pattern(&song, 1), 0);
    ASSERT_EQ(xm_add_pattern(&song, 256), 1);
    ASSERT_TRUE(xm_set_note(&song, 1, 0, 0, XM_NOTE_C4, uint8_t(instrument), 0));
    ASSERT_TRUE(xm_set_note(&song, 1, 255, 2, 60, uint8_t(instrument), 0x30));
    ASSERT_TRUE(xm_set_effect(&song, 1, 255, 2, XM_FX_SYNC, 0x7F));
    xm_cell(&song, 0, 0, 0)->note = XM_NOTE_OFF;
    ASSERT_TRUE(xm_set_effect(&song, 0, 0, 1, XM_FX_SYNC, 0));
    ASSERT_TRUE(xm_set_effect(&song, 0, 0, 2, XM_FX_ARPEGGIO, 0x37));
    song.orders = { 1, 0, 1 };
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(xm_encode(&song, &bytes));
    EXPECT_EQ(std::memcmp(bytes.data(), "Extended Module: readback", 25), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 37,
                  "\x1A"
                  "FastTracker v2.00   "
                  "\x04\x01",
                  23),
        0);
    openmpt_module* mod = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(openmpt_module_get_num_instruments(mod), 2);
    EXPECT_EQ(openmpt_module_get_num_samples(mod), 1);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(mod), 513 * 0.12, 1e-6); // 513 rows at 6 ticks of 20 ms

    const int cells[][5]
        = { { 0, 0, 0, OPENMPT_MODULE_COMMAND_NOTE, 255 }, { 0, 0, 2, OPENMPT_MODULE_COMMAND_PARAMETER, 0x37 },
              { 1, 255, 2, OPENMPT_MODULE_COMMAND_NOTE, 60 + 12 }, { 1, 255, 2, OPENMPT_MODULE_COMMAND_INSTRUMENT, 1 },
              { 1, 255, 2, OPENMPT_MODULE_COMMAND_VOLUME, 32 }, { 1, 255, 2, OPENMPT_MODULE_COMMAND_PARAMETER, 0x7F } };
    for (const auto& [pattern, row, channel, command, value] : cells)
        EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod, pattern, row, channel, command), value)
            << pattern << "/" << row << "/" << channel << " command " << command;
    const std::tuple<int, int, int, std::string> letters[] = { { 0, 0, 1, "W" }, { 0, 0, 2, "0" }, { 1, 255, 2, "W" } };
    for (const auto& [pattern, row, channel, want] : letters) {
        const char* letter = openmpt_module_format_pattern_row_channel_command(
            mod, pattern, row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
        EXPECT_EQ(std::string(letter), want) << pattern << "/" << row << "/" << channel;
        openmpt_free_string(letter);
    }

    // One second of the C-4: skip the attack, then count rising zero crossings.
    openmpt_module_ctl_set_integer(mod, "dither", 0);
    const int rate = 48000;
    std::vector<float> left(rate), right(rate);
    ASSERT_EQ(openmpt_module_read_float_stereo(mod, rate, rate, left.data(), right.data()), size_t(rate));
    openmpt_module_destroy(mod);
    float peak = 0;
    std::vector<int> rising;
    for (size_t i = rate / 10; i < left.size(); ++i) {
        peak = std::max(peak, std::fabs(left[i]));
        EXPECT_NEAR(left[i], right[i], 1e-6);
        if (left[i - 1] < 0 && left[i] >= 0)
            rising.push_back(int(i));
    }
    ASSERT_GT(rising.size(), 100u);
    EXPECT_NEAR(
        double(rising.size() - 1) * rate / double(rising.back() - rising.front()), 261.63, 261.63 * 0.003); // 5 cents
    EXPECT_NEAR(peak, 0.265, 0.01);
}

TEST(XmWriter, RejectsWhatAFileCannotHold)
{
    XmSong song;
    xm_init_song(&song, "bad", 2);
    EXPECT_EQ(xm_add_pattern(&song, 0), -1);
    EXPECT_EQ(xm_add_pattern(&song, 257), -1);
    EXPECT_EQ(xm_cell(&song, 0, 0, 0), nullptr);
    ASSERT_EQ(xm_add_pattern(&song, 4), 0);
    EXPECT_EQ(xm_cell(&song, 0, 4, 0), nullptr);
    EXPECT_EQ(xm_cell(&song, 0, 0, 2), nullptr);
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(xm_encode(&song, &bytes)); // no orders
    song.orders = { 1 };
    EXPECT_FALSE(xm_encode(&song, &bytes)); // order names a missing pattern
    song.orders = { 0 };
    ASSERT_TRUE(xm_encode(&song, &bytes));

    XmSample sample = sine_sample();
    sample.loop_start = 100; // 100 + 128 > 128 frames
    xm_add_instrument(&song, "loop", &sample);
    EXPECT_FALSE(xm_encode(&song, &bytes));
    EXPECT_TRUE(bytes.empty());
    song.instruments[0].samples[0].loop_start = 0;
    ASSERT_TRUE(xm_encode(&song, &bytes));

    xm_cell(&song, 0, 0, 0)->instrument = 2; // only one instrument
    EXPECT_FALSE(xm_encode(&song, &bytes));
}

} // namespace
