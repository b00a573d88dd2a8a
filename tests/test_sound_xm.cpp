// test_sound_xm.cpp -- XM writer: byte layout, what a player reads back, pitch and level of a sample,
// what a file cannot hold.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "tools/lib/xm_writer.h"

namespace {

uint32_t load_le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

openmpt_module* open_song(const std::vector<uint8_t>& bytes)
{
    return openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

// One full-scale 16-bit sine period of 128 frames: C-4 when tuned for 33488.07 Hz.
XmSample sine_sample(bool eight_bit)
{
    XmSample sample;
    sample.eight_bit = eight_bit;
    for (int i = 0; i < 128; ++i)
        sample.frames.push_back(int16_t(std::lround(32767.0 * std::sin(2.0 * M_PI * i / 128.0))));
    sample.loop = XM_LOOP_FORWARD;
    sample.loop_length = 128;
    xm_tune_sample(&sample, 33488.07, XM_NOTE_C4);
    return sample;
}

TEST(XmWriter, HeaderAndPatternBytes)
{
    XmSong song;
    xm_init_song(&song, "layout", 2);
    ASSERT_EQ(xm_add_pattern(&song, 2), 0);
    xm_cell(&song, 0, 0, 0)->note = XM_NOTE_OFF;
    xm_set_effect(&song, 0, 1, 1, XM_FX_ARPEGGIO, 0x37);
    ASSERT_EQ(xm_add_instrument(&song, "empty", nullptr), 1);
    song.orders = { 0 };
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(xm_encode(&song, &bytes));

    EXPECT_EQ(std::memcmp(bytes.data(), "Extended Module: layout              ", 37), 0);
    EXPECT_EQ(bytes[37], 0x1A);
    EXPECT_EQ(std::memcmp(bytes.data() + 38, "FastTracker v2.00   ", 20), 0);
    EXPECT_EQ(bytes[58] | bytes[59] << 8, 0x0104);
    EXPECT_EQ(load_le32(bytes, 60), 276u);
    // Pattern at 336: header, then cells key-off / empty / empty / arpeggio (effect 0 omitted).
    EXPECT_EQ(load_le32(bytes, 336), 9u);
    EXPECT_EQ(bytes[341], 2); // rows
    EXPECT_EQ(bytes[343], 6); // packed size
    const uint8_t packed[6] = { 0x81, 97, 0x80, 0x80, 0x90, 0x37 };
    EXPECT_EQ(std::memcmp(bytes.data() + 345, packed, 6), 0);
    // The empty instrument is the 33-byte short header, and ends the file.
    EXPECT_EQ(load_le32(bytes, 351), 33u);
    EXPECT_EQ(bytes.size(), 351u + 33u);
}

TEST(XmWriter, PlayerReadsTheSongBack)
{
    XmSong song;
    xm_init_song(&song, "readback", 3);
    XmSample sample = sine_sample(false);
    int instrument = xm_add_instrument(&song, "sine", &sample);
    xm_add_instrument(&song, "empty", nullptr);
    ASSERT_EQ(xm_add_pattern(&song, 1), 0);
    ASSERT_EQ(xm_add_pattern(&song, 256), 1);
    ASSERT_TRUE(xm_set_note(&song, 1, 255, 2, 60, uint8_t(instrument), 0x30));
    ASSERT_TRUE(xm_set_effect(&song, 1, 255, 2, XM_FX_SYNC, 0x7F));
    ASSERT_TRUE(xm_set_effect(&song, 0, 0, 1, XM_FX_SYNC, 0));
    song.orders = { 1, 0, 1 };
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(xm_encode(&song, &bytes));
    openmpt_module* mod = open_song(bytes);
    ASSERT_NE(mod, nullptr);

    EXPECT_EQ(openmpt_module_get_num_instruments(mod), 2);
    EXPECT_EQ(openmpt_module_get_num_samples(mod), 1);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod, 0), 1);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod, 1), 256);
    EXPECT_EQ(openmpt_module_get_order_pattern(mod, 1), 0);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(mod), 513 * 0.12, 1e-6); // 513 rows at 6 ticks of 20 ms

    // The player numbers notes an octave up: FT2's B-4 (60) is its 72.
    const int want[][2] = { { OPENMPT_MODULE_COMMAND_NOTE, 60 + 12 }, { OPENMPT_MODULE_COMMAND_INSTRUMENT, 1 },
        { OPENMPT_MODULE_COMMAND_VOLUME, 32 }, { OPENMPT_MODULE_COMMAND_PARAMETER, 0x7F } };
    for (const auto& [command, value] : want)
        EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod, 1, 255, 2, command), value) << command;
    for (const auto& [pattern, row, channel] : { std::tuple(0, 0, 1), std::tuple(1, 255, 2) }) {
        const char* letter = openmpt_module_format_pattern_row_channel_command(
            mod, pattern, row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
        EXPECT_STREQ(letter, "W") << pattern;
        openmpt_free_string(letter);
    }
    openmpt_module_destroy(mod);
}

// The sample must be delta-coded correctly (raw PCM would play as noise) and tuned: one C-4 sine
// is 261.63 Hz and peaks at 0.265 per side (full scale, volume 64, centre pan, FT2 mix levels).
TEST(XmWriter, SineSamplePlaysAtPitchAndLevel)
{
    for (bool eight_bit : { false, true }) {
        SCOPED_TRACE(eight_bit ? "8-bit" : "16-bit");
        XmSong song; // one long C-4 of the sine at volume 64, centre pan
        xm_init_song(&song, "sine", 2);
        XmSample sample = sine_sample(eight_bit);
        int instrument = xm_add_instrument(&song, "sine", &sample);
        xm_set_note(&song, xm_add_pattern(&song, 16), 0, 0, XM_NOTE_C4, uint8_t(instrument), 0);
        song.orders = { 0 };
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(xm_encode(&song, &bytes));
        openmpt_module* mod = open_song(bytes);
        ASSERT_NE(mod, nullptr);
        openmpt_module_ctl_set_integer(mod, "dither", 0);
        const int rate = 48000, frames = 48000;
        std::vector<float> left(frames), right(frames);
        ASSERT_EQ(openmpt_module_read_float_stereo(mod, rate, frames, left.data(), right.data()), size_t(frames));
        openmpt_module_destroy(mod);

        // Skip the attack, then count rising zero crossings over a whole number of them.
        float peak = 0;
        int first = -1, last = -1, crossings = 0;
        for (int i = 4800; i < frames; ++i) {
            peak = std::max(peak, std::fabs(left[size_t(i)]));
            EXPECT_NEAR(left[size_t(i)], right[size_t(i)], 1e-6);
            if (left[size_t(i) - 1] < 0 && left[size_t(i)] >= 0) {
                if (first < 0)
                    first = i;
                last = i;
                ++crossings;
            }
        }
        ASSERT_GT(crossings, 100);
        double frequency = double(crossings - 1) * rate / double(last - first);
        EXPECT_NEAR(frequency, 261.63, 261.63 * 0.003); // within 5 cents
        EXPECT_NEAR(peak, 0.265, 0.01);
    }
}

TEST(XmWriter, TuningForSampleRateAndBaseNote)
{
    struct Case {
        double rate;
        int base_note;
        int relative_note, finetune;
    };
    const Case cases[] = {
        { 33488.07, XM_NOTE_C4, 24, 0 },
        { 33488.07, XM_NOTE_C4 - 24, 48, 0 }, // a C-2 sample
        { 33488.07, XM_NOTE_C4 + 12, 12, 0 }, // a C-5 sample
        { 44100.0, XM_NOTE_C4, 29, -24 }, // 28.81 semitones, finetune in steps of 8
        { 8363.0, XM_NOTE_C4, 0, 0 },
    };
    for (const Case& c : cases) {
        XmSample sample;
        xm_tune_sample(&sample, c.rate, c.base_note);
        EXPECT_EQ(sample.relative_note, c.relative_note) << c.rate << " " << c.base_note;
        EXPECT_EQ(sample.finetune, c.finetune) << c.rate << " " << c.base_note;
    }
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

    XmSample sample = sine_sample(false);
    sample.loop_start = 100; // 100 + 128 > 128 frames
    xm_add_instrument(&song, "loop", &sample);
    EXPECT_FALSE(xm_encode(&song, &bytes));
    EXPECT_TRUE(bytes.empty());
    song.instruments[0].samples[0].loop_start = 0;
    ASSERT_TRUE(xm_encode(&song, &bytes));

    XmEnvelope* envelope = &song.instruments[0].volume_envelope;
    EXPECT_TRUE(xm_envelope_add(envelope, 0, 64));
    EXPECT_FALSE(xm_envelope_add(envelope, 0, 32)); // ticks must rise
    EXPECT_FALSE(xm_envelope_add(envelope, 5, 65)); // values are 0..64
    envelope->flags = XM_ENVELOPE_ON | XM_ENVELOPE_SUSTAIN;
    envelope->sustain_point = 1; // only one point
    EXPECT_FALSE(xm_encode(&song, &bytes));
    envelope->sustain_point = 0;
    EXPECT_TRUE(xm_encode(&song, &bytes));

    xm_cell(&song, 0, 0, 0)->instrument = 2; // only one instrument
    EXPECT_FALSE(xm_encode(&song, &bytes));
}

} // namespace
