// make_test_song.cpp -- writes the small test module: a few patterns, two synthesised
// instruments, sync commands at fixed places and one tempo change.
//
// Layout (speed 6 / 125 BPM = 5760 frames per row at 48 kHz until order 2 sets speed 3 /
// 150 BPM = 2400 frames per row; the tempo then holds to the end):
//   order 0 = pattern 0 (16 rows): sync 0 at row 0, sync 240 at row 8
//   order 1 = pattern 1 (16 rows): sync 1 at row 0 (channel 3), sync 2 at row 4 (channel 1)
//   order 2 = pattern 2 (32 rows): speed 3 and 150 BPM at row 0 with sync 5, sync 255 at row 16
//   order 3 = pattern 1 again
//   order 4 = pattern 3 (8 rows): sync 16 at row 0, sync 12 at row 7; the song then ends.
#include <cmath>
#include <cstdio>

#include "tools/formats/xm_writer.h"

namespace {

// Seeded xorshift32: identical noise on every platform.
uint32_t next_noise(uint32_t* state)
{
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

// One period of 128 frames at 33488.07 Hz is C-4; the loop is the whole sample.
XmSample make_tone_sample()
{
    XmSample sample;
    sample.name = "tone";
    const int period = 128;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < period; ++i) {
        double phase = 2.0 * pi * double(i) / double(period);
        double v = std::sin(phase) + 0.3 * std::sin(2.0 * phase) + 0.15 * std::sin(3.0 * phase);
        sample.frames.push_back(int16_t(std::lround(v / 1.3 * 0.97 * 32767.0)));
    }
    sample.loop = XM_LOOP_FORWARD;
    sample.loop_start = 0;
    sample.loop_length = period;
    sample.volume = 48;
    xm_tune_sample(&sample, 33488.07, XM_NOTE_C4);
    return sample;
}

// A short noise hit, stored as 8-bit data.
XmSample make_noise_sample()
{
    XmSample sample;
    sample.name = "hit";
    sample.eight_bit = true;
    uint32_t state = 0x12345678u;
    const int length = 6000;
    for (int i = 0; i < length; ++i) {
        double envelope = std::exp(-double(i) / 900.0);
        double noise = double(int32_t(next_noise(&state) >> 16) - 32768) / 32768.0;
        sample.frames.push_back(int16_t(std::lround(noise * envelope * 0.97 * 32767.0)));
    }
    sample.volume = 40;
    xm_tune_sample(&sample, 33488.07, XM_NOTE_C4);
    return sample;
}

bool build_song(XmSong* song)
{
    xm_init_song(song, "morrowick test", 4);
    song->default_speed = 6;
    song->default_bpm = 125;

    XmSample tone = make_tone_sample();
    int tone_instrument = xm_add_instrument(song, "tone", &tone);
    XmEnvelope* env = &song->instruments[size_t(tone_instrument - 1)].volume_envelope;
    xm_envelope_add(env, 0, 64);
    xm_envelope_add(env, 4, 48);
    xm_envelope_add(env, 30, 40);
    env->sustain_point = 2;
    env->flags = XM_ENVELOPE_ON | XM_ENVELOPE_SUSTAIN;
    song->instruments[size_t(tone_instrument - 1)].fadeout = 0x400;

    XmSample hit = make_noise_sample();
    int hit_instrument = xm_add_instrument(song, "hit", &hit);

    int p0 = xm_add_pattern(song, 16);
    int p1 = xm_add_pattern(song, 16);
    int p2 = xm_add_pattern(song, 32);
    int p3 = xm_add_pattern(song, 8);
    if (p0 < 0 || p1 < 0 || p2 < 0 || p3 < 0 || tone_instrument == 0 || hit_instrument == 0)
        return false;

    // A simple bass line and a hit every four rows, with key-offs.
    const uint8_t line[4] = { 45, 41, 48, 43 }; // A-3 F-3 C-4 G-3
    for (int p = 0; p < 4; ++p) {
        int rows = song->patterns[size_t(p)].rows;
        for (int row = 0; row < rows; row += 4) {
            xm_set_note(song, p, row, 0, line[(row / 4 + p) % 4], uint8_t(tone_instrument), 0);
            xm_set_note(song, p, row + 3, 0, XM_NOTE_OFF, 0, 0);
            xm_set_note(song, p, row, 2, XM_NOTE_C4, uint8_t(hit_instrument), 0x10 + 40);
        }
    }

    xm_set_effect(song, p0, 0, 3, XM_FX_SYNC, 0);
    xm_set_effect(song, p0, 8, 3, XM_FX_SYNC, 240);
    xm_set_effect(song, p1, 0, 3, XM_FX_SYNC, 1);
    xm_set_effect(song, p1, 4, 1, XM_FX_SYNC, 2);
    xm_set_effect(song, p2, 0, 1, XM_FX_SET_SPEED, 3);
    xm_set_effect(song, p2, 0, 2, XM_FX_SET_SPEED, 150);
    xm_set_effect(song, p2, 0, 3, XM_FX_SYNC, 5);
    xm_set_effect(song, p2, 16, 3, XM_FX_SYNC, 255);
    xm_set_effect(song, p3, 0, 3, XM_FX_SYNC, 16);
    xm_set_effect(song, p3, 7, 3, XM_FX_SYNC, 12);

    song->orders = { uint8_t(p0), uint8_t(p1), uint8_t(p2), uint8_t(p1), uint8_t(p3) };
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_song OUTPUT.xm\n");
        return 2;
    }
    XmSong song;
    if (!build_song(&song) || !xm_write_file(&song, argv[1])) {
        std::fprintf(stderr, "make_test_song: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
