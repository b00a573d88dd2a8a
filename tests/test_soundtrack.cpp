// test_soundtrack.cpp -- the generated soundtrack: sync map, module structure, render levels, harmony.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <libopenmpt/libopenmpt.hpp>
#include <string>
#include <vector>

#include "tools/song/song_compose.h"
#include "tools/song/song_render.h"
#include "tools/song/song_sync.h"
#include "tools/song/song_synth.h"

namespace {

constexpr double ROW_SECONDS = 0.12; // speed 6 at 125 BPM

// The command line's start points: word, scene, order position.
struct StartPoint {
    const char* word;
    int scene;
    int position;
};
const StartPoint start_points[] = {
    { "part2", 3, 10 },
    { "part3", 5, 19 },
    { "part4", 6, 25 },
    { "part5", 7, 29 },
    { "part6", 8, 31 },
    { "part7", 9, 35 },
    { "part8", 11, 37 },
    { "part9", 12, 39 },
    { "part10", 13, 41 },
    { "part11", 14, 51 },
    { "part12", 16, 57 },
};

// Composed, encoded and rendered once for every test.
struct Rendered {
    std::vector<uint8_t> bytes;
    SongRender render;
    bool ok = false;
};

const Rendered& rendered()
{
    static Rendered r = [] {
        Rendered out;
        XmSong song;
        compose_song(&song);
        out.ok = xm_encode(&song, &out.bytes) && render_song(out.bytes, 48000, SONG_CH_SYNC, &out.render);
        return out;
    }();
    return r;
}

int rows_before(int position)
{
    int rows = 0;
    for (int p = 0; p < position; p++)
        rows += song_positions[p].rows;
    return rows;
}

void fft(std::vector<std::complex<double>>* data)
{
    auto& a = *data;
    size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w(std::cos(-2.0 * M_PI / double(len)), std::sin(-2.0 * M_PI / double(len)));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk(1.0, 0.0);
            for (size_t k = 0; k < len / 2; k++) {
                std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

// Pitch-class energy of a stretch of the mono mix, 80 Hz to 2 kHz.
void chroma(const std::vector<float>& stereo, size_t first_frame, int rate, double out[12])
{
    const size_t n = 65536;
    std::vector<std::complex<double>> buf(n);
    for (size_t i = 0; i < n; i++) {
        size_t f = first_frame + i;
        double v = f * 2 + 1 < stereo.size() ? 0.5 * (stereo[f * 2] + stereo[f * 2 + 1]) : 0.0;
        buf[i] = v * (0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(n)));
    }
    fft(&buf);
    for (int i = 0; i < 12; i++)
        out[i] = 0.0;
    for (size_t k = 1; k < n / 2; k++) {
        double freq = double(k) * rate / double(n);
        if (freq < 80.0 || freq > 2000.0)
            continue;
        int pc = ((int(std::lround(12.0 * std::log2(freq / 440.0))) + 9) % 12 + 12) % 12;
        out[pc] += std::abs(buf[k]);
    }
}

SongChord best_triad(const double c[12])
{
    SongChord best = { 0, false };
    double best_score = -1.0;
    for (int root = 0; root < 12; root++)
        for (int minor = 0; minor < 2; minor++) {
            double score = c[root] + c[(root + (minor ? 3 : 4)) % 12] + c[(root + 7) % 12];
            if (score > best_score) {
                best_score = score;
                best = { uint8_t(root), minor == 1 };
            }
        }
    return best;
}

} // namespace

TEST(SoundtrackSyncMap, TableMatchesTheShow)
{
    // Rows per position as the scenes need them.
    std::vector<int> want;
    want.insert(want.end(), 35, 64); // 0-34
    want.push_back(96); // 35
    want.push_back(64); // 36
    want.insert(want.end(), 2, 96); // 37-38
    want.insert(want.end(), 2, 32); // 39-40
    want.insert(want.end(), 10, 48); // 41-50
    want.insert(want.end(), 5, 64); // 51-55
    want.push_back(32); // 56
    want.insert(want.end(), 3, 64); // 57-59
    ASSERT_EQ(want.size(), size_t(SONG_POSITION_COUNT));
    for (int p = 0; p < SONG_POSITION_COUNT; p++)
        EXPECT_EQ(song_positions[p].rows, want[p]) << "position " << p;
    EXPECT_EQ(song_total_rows(), 3680); // 441.6 s

    // Syncs in show order, inside their patterns, scene numbers agreeing with the positions.
    for (int i = 0; i < song_sync_count; i++) {
        const SongSync& s = song_syncs[i];
        EXPECT_LT(s.row, song_positions[s.position].rows);
        EXPECT_TRUE(s.value <= 16 || s.value >= 240) << int(s.value);
        // 1 is the opening's noise event; 12 on a pattern's last row briefly leaves the opening
        // so that it starts afresh on the next row.
        if (s.value <= 16 && s.value != 1 && !(s.value == 12 && s.position < 8 && s.row == 63)) {
            EXPECT_EQ(s.value, song_positions[s.position].scene);
        }
        if (i > 0) {
            EXPECT_LT(song_syncs[i - 1].position * 256 + song_syncs[i - 1].row, s.position * 256 + s.row);
        }
    }
    // Each start point begins with its scene number at row 0 of its position.
    for (const StartPoint& sp : start_points) {
        EXPECT_EQ(song_sync_at(sp.position, 0), sp.scene) << sp.word;
        EXPECT_EQ(song_positions[sp.position].scene, sp.scene) << sp.word;
    }
    // The cues the scenes react to.
    EXPECT_EQ(song_sync_at(0, 0), 0);
    EXPECT_EQ(song_sync_at(4, 0), 1);
    EXPECT_EQ(song_sync_at(12, 8), 240);
    EXPECT_EQ(song_sync_at(12, 0), -1);
    EXPECT_EQ(song_sync_at(15, 0), 4);
    EXPECT_EQ(song_sync_at(18, 0), 245);
    EXPECT_EQ(song_sync_at(22, 0), 241);
    EXPECT_EQ(song_sync_at(22, 40), 242);
    EXPECT_EQ(song_sync_at(23, 32), -1);
    EXPECT_EQ(song_sync_at(29, 32), 240);
    EXPECT_EQ(song_sync_at(34, 0), 245);
    EXPECT_EQ(song_sync_at(50, 16), 255);
    EXPECT_EQ(song_sync_at(54, 48), 241);
    EXPECT_EQ(song_sync_at(54, 47), -1);
}

TEST(SoundtrackSyncMap, OpeningReportsEveryRow)
{
    // The opening's ring count and smear follow the row of the last sync: every row of positions
    // 0-7 carries one, the scene start and the two noise bursts included; nothing after 7 does.
    int row_syncs = 0;
    for (int p = 0; p < 8; p++)
        for (int row = 0; row < 64; row++) {
            int want = SONG_ROW_SYNC_VALUE;
            if ((p == 0 || p == 5 || p == 7) && row == 0)
                want = 0;
            else if ((p == 4 || p == 6) && row == 0)
                want = 1;
            else if (p >= 3 && p <= 6 && row == 63)
                want = 12;
            EXPECT_EQ(song_sync_at(p, row), want) << p << "/" << row;
        }
    for (int i = 0; i < song_sync_count; i++) {
        const SongSync& s = song_syncs[i];
        if (s.row_sync) {
            row_syncs++;
            EXPECT_LT(s.position, 8);
            EXPECT_EQ(s.value, SONG_ROW_SYNC_VALUE);
        }
    }
    EXPECT_EQ(row_syncs, 8 * 64 - 9);
    // The row syncs' value is a cue nobody reacts to: not 240-245, not 255.
    EXPECT_GT(SONG_ROW_SYNC_VALUE, 245);
    EXPECT_LT(SONG_ROW_SYNC_VALUE, 255);
}

TEST(SoundtrackSyncMap, CuesLandWhereTheScenesShowThem)
{
    auto ticks_between = [](int p0, int r0, int p1, int r1) {
        return double(rows_before(p1) + r1 - rows_before(p0) - r0) * ROW_SECONDS / 0.032;
    };
    // The credits rise freezes the ribbon's sway where the cue finds it: 510 ticks into the wall
    // the phase is 254 of 256, column trunc(150 sin(-2 pi 2/256) + 160) = 152, so the credits
    // (drawn from column c - 110) come up centred rather than cut off at the left.
    double rise = ticks_between(10, 0, 12, 8);
    EXPECT_DOUBLE_EQ(rise, 510.0);
    int phase = int(rise) % 256;
    int column = int(150.0 * std::sin(phase * 2.0 * M_PI / 256.0) + 160.0);
    EXPECT_EQ(column, 152);
    // The chickcone slides in 450 units ahead and nears at 2 units a tick; it turns 150 ticks
    // later, still 150 ahead, and its 30-tick change ends 90 ahead of the camera.
    double turn = ticks_between(22, 0, 22, 40);
    EXPECT_DOUBLE_EQ(turn, 150.0);
    EXPECT_GT(450.0 - 2.0 * (turn + 30.0), 0.0);
}

TEST(SoundtrackModule, LoadsAsFastTrackerWithTheMapsStructure)
{
    const Rendered& r = rendered();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.render.tracker, "FastTracker 2 or compatible");
    EXPECT_EQ(r.render.channel_count, SONG_CHANNEL_COUNT);
    EXPECT_EQ(r.render.instrument_count, int(SONG_INSTRUMENT_LAST));
    EXPECT_EQ(r.render.sample_count, int(SONG_INSTRUMENT_LAST));

    openmpt::module mod(r.bytes);
    ASSERT_EQ(mod.get_num_orders(), SONG_POSITION_COUNT);
    int w_cells = 0;
    for (int p = 0; p < SONG_POSITION_COUNT; p++) {
        int pattern = mod.get_order_pattern(p);
        ASSERT_EQ(mod.get_pattern_num_rows(pattern), song_positions[p].rows) << "position " << p;
        for (int row = 0; row < song_positions[p].rows; row++)
            for (int ch = 0; ch < SONG_CHANNEL_COUNT; ch++) {
                bool is_w
                    = mod.format_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_effect) == "W";
                int value = mod.get_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_parameter);
                if (ch == SONG_CH_SYNC) {
                    int want = song_sync_at(p, row);
                    EXPECT_EQ(is_w, want >= 0) << p << "/" << row;
                    if (want >= 0) {
                        EXPECT_EQ(value, want) << p << "/" << row;
                    }
                    // The sync channel carries nothing else.
                    EXPECT_EQ(mod.get_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_note), 0);
                    w_cells += is_w;
                } else {
                    EXPECT_FALSE(is_w) << "W on music channel " << ch << " at " << p << "/" << row;
                }
            }
    }
    EXPECT_EQ(w_cells, song_sync_count);

    // Crashes mark the moved cues; the opening's row syncs are not accented.
    auto fx_instrument = [&](int p, int row) {
        return mod.get_pattern_row_channel_command(
            mod.get_order_pattern(p), row, SONG_CH_FX, openmpt::module::command_instrument);
    };
    EXPECT_EQ(fx_instrument(12, 8), SONG_CRASH);
    EXPECT_EQ(fx_instrument(22, 40), SONG_CRASH);
    EXPECT_NE(fx_instrument(12, 0), SONG_CRASH);
    EXPECT_NE(fx_instrument(23, 32), SONG_CRASH);
    for (int p = 0; p < 8; p++)
        for (int row = 0; row < 64; row++)
            if (song_sync_at(p, row) == SONG_ROW_SYNC_VALUE) {
                EXPECT_NE(fx_instrument(p, row), SONG_CRASH) << p << "/" << row;
            }
}

TEST(SoundtrackModule, TwoGenerationsAreByteIdentical)
{
    const Rendered& r = rendered();
    XmSong song;
    compose_song(&song);
    std::vector<uint8_t> again;
    ASSERT_TRUE(xm_encode(&song, &again));
    EXPECT_TRUE(again == r.bytes);
}

TEST(SoundtrackRender, LengthLevelsAndSyncTiming)
{
    const Rendered& r = rendered();
    ASSERT_TRUE(r.ok);
    const SongRender& a = r.render;
    double seconds = double(a.stereo.size() / 2) / a.rate;
    EXPECT_GT(seconds, 7 * 60.0);
    EXPECT_LT(seconds, 8 * 60.0);
    EXPECT_NEAR(seconds, 3680 * ROW_SECONDS, 1.0); // the song stops after position 59

    double peak = 0.0, sum_sq = 0.0, side_sq = 0.0;
    for (size_t f = 0; f < a.stereo.size() / 2; f++) {
        double left = a.stereo[f * 2], right = a.stereo[f * 2 + 1];
        peak = std::max({ peak, std::fabs(left), std::fabs(right) });
        sum_sq += left * left + right * right;
        side_sq += (left - right) * (left - right);
    }
    double rms_db = 10.0 * std::log10(sum_sq / double(a.stereo.size()));
    EXPECT_LT(peak, 0.95); // no sample anywhere near full scale
    EXPECT_GT(rms_db, -18.0);
    EXPECT_LT(rms_db, -12.0);
    EXPECT_GT(side_sq, 0.01 * sum_sq); // stereo panning is audible, not a mono mix

    // Every sync fires where the map puts it: same order, rows at 0.12 s each.
    ASSERT_EQ(int(a.syncs.size()), song_sync_count);
    for (int i = 0; i < song_sync_count; i++) {
        const SongSync& s = song_syncs[i];
        EXPECT_EQ(a.syncs[i].value, s.value);
        EXPECT_EQ(a.syncs[i].position, s.position);
        EXPECT_EQ(a.syncs[i].row, s.row);
        EXPECT_NEAR(a.syncs[i].seconds, song_row_time(s.position, s.row), 0.005) << i;
    }
}

TEST(SoundtrackRender, SectionsFollowTheShow)
{
    const SongRender& a = rendered().render;
    auto rms_db = [&](int first_row, int rows) {
        size_t f0 = size_t(first_row * ROW_SECONDS * a.rate), f1 = size_t((first_row + rows) * ROW_SECONDS * a.rate);
        double sq = 0.0;
        for (size_t i = f0 * 2; i < f1 * 2 && i < a.stereo.size(); i++)
            sq += double(a.stereo[i]) * a.stereo[i];
        return 10.0 * std::log10(sq / double((f1 - f0) * 2));
    };
    double credits = rms_db(rows_before(10), 576); // full band with the theme
    double swarm = rms_db(rows_before(37), 192);
    double ending = rms_db(rows_before(59), 64);
    EXPECT_GT(credits, -19.0);
    EXPECT_GT(swarm, credits + 1.5);
    EXPECT_LT(ending, credits - 4.0); // the last chord fades out
}

TEST(SoundtrackHarmony, EachBarIsHeardAsItsChord)
{
    const Rendered& r = rendered();
    ASSERT_TRUE(r.ok);
    int checked = 0, matched = 0;
    for (int p = 0; p < SONG_POSITION_COUNT; p++)
        for (int row = 0; row < song_positions[p].rows; row += SONG_ROWS_PER_BAR) {
            if (!song_position_has_harmony(p))
                continue;
            double start = (rows_before(p) + row) * ROW_SECONDS + 0.25; // past the attack
            double c[12];
            chroma(r.render.stereo, size_t(start * r.render.rate), r.render.rate, c);
            SongChord want = song_chord_at(p, row), heard = best_triad(c);
            checked++;
            if (want.root == heard.root && want.minor == heard.minor) {
                matched++;
            } else {
                ADD_FAILURE() << "bar at " << p << "/" << row << " heard as " << int(heard.root)
                              << (heard.minor ? "m" : "") << ", composed as " << int(want.root)
                              << (want.minor ? "m" : "");
            }
        }
    EXPECT_EQ(checked, 230);
    EXPECT_EQ(matched, checked);
}

TEST(SoundtrackInstruments, SamplesLoopsAndPitch)
{
    std::vector<XmInstrument> ins;
    make_song_instruments(&ins);
    ASSERT_EQ(ins.size(), size_t(SONG_INSTRUMENT_LAST));
    for (const XmInstrument& i : ins) {
        ASSERT_EQ(i.samples.size(), 1u) << i.name;
        const XmSample& s = i.samples[0];
        int peak = 0;
        for (int16_t v : s.frames)
            peak = std::max(peak, std::abs(int(v)));
        EXPECT_NEAR(peak, int(0.97 * 32767), 1) << i.name; // normalised, never clipped
        if (s.loop != XM_LOOP_NONE) {
            EXPECT_LE(uint64_t(s.loop_start) + s.loop_length, s.frames.size()) << i.name;
            // A sustained instrument needs an envelope, or a key-off cuts it dead.
            EXPECT_TRUE(i.volume_envelope.flags & XM_ENVELOPE_ON) << i.name;
        }
    }
    // The pad loops over the whole sample without a click: the wrap step is as small as any.
    const XmSample& pad = ins[SONG_PAD - 1].samples[0];
    EXPECT_EQ(pad.loop_start, 0u);
    EXPECT_EQ(pad.loop_length, pad.frames.size());
    EXPECT_LT(std::abs(int(pad.frames.back()) - int(pad.frames.front())), 3000);

    // Pitched samples: C-4 is 128 frames per period (autocorrelation peaks there, not at 127/129
    // or the octave below), the bass's C-2 is 512.
    auto correlation = [](const std::vector<int16_t>& f, size_t from, int lag) {
        double sum = 0.0, norm = 0.0;
        for (size_t n = from; n + size_t(lag) < f.size() && n < from + 4096; n++) {
            sum += double(f[n]) * f[n + size_t(lag)];
            norm += double(f[n]) * f[n];
        }
        return sum / norm;
    };
    const XmSample& arp = ins[SONG_ARP - 1].samples[0];
    EXPECT_GT(correlation(arp.frames, 0, 128), 0.999);
    EXPECT_LT(correlation(arp.frames, 0, 64), 0.5);
    const XmSample& bass = ins[SONG_BASS - 1].samples[0];
    EXPECT_GT(correlation(bass.frames, bass.loop_start, 512), 0.99);
    EXPECT_EQ(bass.relative_note, 48);
    EXPECT_EQ(ins[SONG_LEAD - 1].samples[0].relative_note, 24);
}

TEST(SoundtrackInstruments, NoiseIsSeededAndNormaliseScales)
{
    SongNoise a = { 1 }, b = { 1 };
    for (int i = 0; i < 100; i++)
        EXPECT_EQ(song_noise_next(&a), song_noise_next(&b));
    SongNoise c = { 1 };
    // xorshift32 from 1: 1 ^ 1<<13 = 0x2001, ^ >>17 = 0x2001, ^ <<5 = 0x42021.
    song_noise_next(&c);
    EXPECT_EQ(c.state, 0x42021u);

    std::vector<int16_t> out;
    song_normalise({ 0.0, 0.5, -2.0, 1.0 }, 0.5, &out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[2], -16384); // -2 scaled to -0.5 x 32767, rounded
    EXPECT_EQ(out[1], 4096);
    song_normalise({ 0.0, 0.0 }, 0.97, &out);
    EXPECT_EQ(out[0], 0); // silence stays silence, no division by zero
}
