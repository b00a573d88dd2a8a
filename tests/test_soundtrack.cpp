// test_soundtrack.cpp -- the generated soundtrack: its sync map and structure, the module as written,
// the mix as heard (loudness, stereo image, climax, second pass, harmony), the instruments and the
// arrangement.
#include <gtest/gtest.h>

#include <fftw3.h>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "tools/song/song_analysis.h"
#include "tools/song/song_compose.h"
#include "tools/song/song_render.h"
#include "tools/song/song_sync.h"
#include "tools/song/song_synth.h"

namespace {

constexpr int RATE = 48000;

struct Song {
    XmSong song;
    std::vector<uint8_t> bytes;
};

// Composed and encoded once per test program.
Song& song()
{
    static Song s = [] {
        Song out;
        compose_song(&out.song);
        EXPECT_TRUE(xm_encode(&out.song, &out.bytes));
        return out;
    }();
    return s;
}

size_t frame_at(int position)
{
    return size_t(song_row_time(position, 0) * RATE);
}

// Renders `frames` frames from the start of `position`, with `repeats` passes and only the
// channels in `solo` (0: all) sounding, as a player started there would play them.
std::vector<float> render_from(int position, size_t frames, uint32_t solo = 0, int repeats = 0)
{
    openmpt::module_ext mod(song().bytes);
    mod.set_repeat_count(repeats);
    mod.ctl_set_integer("dither", 0);
    auto* interactive = static_cast<openmpt::ext::interactive*>(mod.get_interface(openmpt::ext::interactive_id));
    for (int ch = 0; ch < mod.get_num_channels() && solo; ch++)
        interactive->set_channel_mute_status(ch, !(solo >> ch & 1u));
    mod.set_position_order_row(position, 0);
    std::vector<float> audio(frames * 2);
    size_t got = 0;
    for (size_t n = 1; got < frames && n > 0; got += n)
        n = mod.read_interleaved_stereo(RATE, std::min<size_t>(4096, frames - got), &audio[got * 2]);
    EXPECT_EQ(got, frames) << "the song ended early";
    return audio;
}

MixMeasure measure(const std::vector<float>& audio, size_t first, size_t end)
{
    MixMeasure m;
    EXPECT_TRUE(measure_mix(audio, RATE, first, end, &m, false));
    return m;
}

const XmCell& cell(int position, int row, int channel)
{
    const XmSong& s = song().song;
    return s.patterns[s.orders[size_t(position)]].cells[size_t(row * s.channel_count + channel)];
}

// The best-matching triad (root pitch class, plus 12 when minor) of the pitch-class energy (80 Hz
// to 2 kHz) of 65536 frames of the mono mix from `first`.
int heard_chord(const std::vector<float>& stereo, size_t first)
{
    const int n = 65536;
    std::vector<double> in(n);
    for (size_t i = 0; i < size_t(n) && (first + i) * 2 + 1 < stereo.size(); i++)
        in[i] = (stereo[(first + i) * 2] + stereo[(first + i) * 2 + 1]) * (0.25 - 0.25 * std::cos(2 * M_PI * i / n));
    std::vector<std::complex<double>> out(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    double chroma[12] = {};
    for (int k = 1; k < n / 2; k++) {
        const double freq = double(k) * RATE / n;
        if (freq >= 80.0 && freq <= 2000.0)
            chroma[((int(std::lround(12.0 * std::log2(freq / 440.0))) + 9) % 12 + 12) % 12] += std::abs(out[k]);
    }
    auto score = [&](int c) { return chroma[c % 12] + chroma[(c + (c < 12 ? 4 : 3)) % 12] + chroma[(c + 7) % 12]; };
    int best = 0;
    for (int c = 1; c < 24; c++)
        best = score(c) > score(best) ? c : best;
    return best;
}

} // namespace

TEST(SoundtrackMap, PositionsStartPointsCuesAndTheOpeningsRowsMatchTheShow)
{
    // Rows per position as the scenes need them, as runs (positions, rows): 3680 rows, 441.6 s.
    const std::pair<int, int> runs[]
        = { { 35, 64 }, { 1, 96 }, { 1, 64 }, { 2, 96 }, { 2, 32 }, { 10, 48 }, { 5, 64 }, { 1, 32 }, { 3, 64 } };
    int position = 0;
    for (const auto& [positions, rows] : runs)
        for (int i = 0; i < positions; i++, position++)
            EXPECT_EQ(song_positions[position].rows, rows) << "position " << position;
    EXPECT_EQ(song_total_rows(), 3680);

    // Scene numbers agree with the positions they start. 1 is the opening's noise event; 12 on a
    // pattern's last row briefly leaves the opening so that it starts afresh on the next row.
    for (int i = 0; i < song_sync_count; i++) {
        const SongSync& s = song_syncs[i];
        EXPECT_TRUE(s.value <= 16 || s.value >= 240) << int(s.value);
        if (s.value <= 16 && s.value != 1 && !(s.value == 12 && s.position < 8 && s.row == 63)) {
            EXPECT_EQ(s.value, song_positions[s.position].scene) << int(s.position) << "/" << int(s.row);
        }
    }

    // Each command-line start word (word, scene, position) begins with its scene number at row 0
    // of its position.
    const std::tuple<const char*, int, int> starts[] = { { "part2", 3, 10 }, { "part3", 5, 19 }, { "part4", 6, 25 },
        { "part5", 7, 29 }, { "part6", 8, 31 }, { "part7", 9, 35 }, { "part8", 11, 37 }, { "part9", 12, 39 },
        { "part10", 13, 41 }, { "part11", 14, 51 }, { "part12", 16, 57 } };
    for (const auto& [word, scene, position] : starts)
        EXPECT_EQ(song_sync_at(position, 0), scene) << word;

    // The cues the scenes react to (-1: none there).
    const int cues[][3] = { { 0, 0, 0 }, { 4, 0, 1 }, { 12, 8, 240 }, { 12, 0, -1 }, { 15, 0, 4 }, { 18, 0, 245 },
        { 22, 0, 241 }, { 22, 40, 242 }, { 23, 32, -1 }, { 29, 32, 240 }, { 34, 0, 245 }, { 50, 16, 255 },
        { 54, 48, 241 }, { 54, 47, -1 } };
    for (const auto& [position, row, value] : cues)
        EXPECT_EQ(song_sync_at(position, row), value) << position << "/" << row;

    // Ticks of 32 ms between a scene's start and the cue it times by. The credits rise 510 ticks
    // into the wall, where the ribbon's sway (phase 254 of 256) is at column
    // trunc(150 sin(-2 pi 2/256) + 160) = 152, so the credits (drawn from c - 110) come up centred.
    // The chickcone slides in 450 units ahead, nears at 2 a tick and turns 150 ticks later; its
    // 30-tick turn ends 90 ahead of the camera.
    const int spans[][5] = { { 10, 0, 12, 8, 510 }, { 22, 0, 22, 40, 150 } };
    for (const auto& [p0, r0, p1, r1, ticks] : spans)
        EXPECT_NEAR((song_row_time(p1, r1) - song_row_time(p0, r0)) / 0.032, ticks, 1e-9) << p1 << "/" << r1;

    // The opening's ring count and smear follow the row of the last sync: every row of positions
    // 0-7 carries one, the scene starts and the two noise bursts included; nothing after 7 does.
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
    for (int i = 0; i < song_sync_count; i++)
        EXPECT_TRUE(song_syncs[i].position < 8 || song_syncs[i].value != SONG_ROW_SYNC_VALUE) << i;
    // The row syncs' value is a cue nobody reacts to: not 240-245, not 255.
    EXPECT_TRUE(SONG_ROW_SYNC_VALUE > 245 && SONG_ROW_SYNC_VALUE < 255);
}

TEST(SoundtrackModule, LoadsAsFastTrackerWithTheMapsSyncsAndIsRegeneratedByteForByte)
{
    openmpt::module mod(song().bytes);
    EXPECT_EQ(mod.get_metadata("tracker"), "FastTracker 2 or compatible");
    EXPECT_EQ(mod.get_num_instruments(), int(SONG_INSTRUMENT_LAST));
    ASSERT_EQ(mod.get_num_orders(), SONG_POSITION_COUNT);
    for (int p = 0; p < SONG_POSITION_COUNT; p++) {
        const int pattern = mod.get_order_pattern(p);
        ASSERT_EQ(mod.get_pattern_num_rows(pattern), song_positions[p].rows) << "position " << p;
        // Syncs (W) on the sync channel's rows the map names, and only there; the mix test hears
        // their values. The sync channel plays no notes.
        for (int row = 0; row < song_positions[p].rows; row++)
            for (int ch = 0; ch < SONG_CHANNEL_COUNT; ch++) {
                const bool w = mod.format_pattern_row_channel_command(pattern, row, ch, mod.command_effect) == "W";
                EXPECT_EQ(w, ch == SONG_CH_SYNC && song_sync_at(p, row) >= 0) << p << "/" << row << " channel " << ch;
                EXPECT_TRUE(
                    ch != SONG_CH_SYNC || mod.get_pattern_row_channel_command(pattern, row, ch, mod.command_note) == 0);
            }
    }

    XmSong again;
    compose_song(&again);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(xm_encode(&again, &bytes));
    EXPECT_TRUE(bytes == song().bytes);
}

TEST(SoundtrackMix, LengthSyncsLoudnessImageClimaxHarmonyStemsAndSecondPass)
{
    SongRender render;
    ASSERT_TRUE(render_song(song().bytes, RATE, SONG_CH_SYNC, &render));
    const std::vector<float>& audio = render.stereo;
    EXPECT_NEAR(double(audio.size() / 2) / RATE, 3680 * 0.12, 1.0); // the song stops after position 59

    // Every sync fires where the map puts it.
    ASSERT_EQ(int(render.syncs.size()), song_sync_count);
    for (int i = 0; i < song_sync_count; i++) {
        const SongSync& want = song_syncs[i];
        const RenderedSync& heard = render.syncs[size_t(i)];
        EXPECT_EQ(std::tuple(heard.value, heard.position, heard.row),
            std::tuple(int(want.value), int(want.position), int(want.row)));
        EXPECT_NEAR(heard.seconds, song_row_time(want.position, want.row), 0.005) << i;
    }

    MixMeasure whole, full;
    ASSERT_TRUE(measure_mix(audio, RATE, 0, audio.size() / 2, &whole));
    EXPECT_NEAR(whole.integrated_lufs, -14.0, 1.0);
    EXPECT_LE(whole.true_peak_db, -1.0); // nothing near clipping
    EXPECT_LT(whole.dc_db, -60.0);
    std::vector<MixStretch> full_sections;
    for (int i = 0; i < song_section_count(); i++)
        if (song_section(i).full)
            full_sections.push_back({ frame_at(song_section(i).first), frame_at(song_section(i).end) });
    ASSERT_TRUE(measure_mix_stretches(audio, RATE, full_sections, &full, false));
    EXPECT_LE(full.correlation, 0.85); // a stereo image, not a mono mix
    EXPECT_LE(full.band_share[0] + full.band_share[1], 0.50); // below 250 Hz
    EXPECT_GE(full.band_share[3], 0.10); // 1-4 kHz

    // The intro (pad, bell, then bass) is quieter than the body, by at most 8 LU; the last chord
    // fades out, 4 dB under the credits.
    const double body = measure(audio, frame_at(4), audio.size() / 2).integrated_lufs;
    EXPECT_GE(measure(audio, 0, frame_at(4)).integrated_lufs, body - 8.0);
    EXPECT_LT(
        measure(audio, frame_at(59), frame_at(60)).rms_db, measure(audio, frame_at(10), frame_at(19)).rms_db - 4.0);

    // The swarm (positions 37-38) is the loudest full section by at least 2 LU of short-term
    // loudness, and the first full section builds towards it by more than 2 LU.
    double climax = -1e9, loudest_other = -1e9, first_full = 1e9;
    for (const MixStretch& st : full_sections) {
        const double loudness = measure(audio, st.first, st.end).short_term_median;
        if (st.first == frame_at(37))
            climax = loudness;
        else
            loudest_other = std::max(loudest_other, loudness);
        if (st.first < frame_at(37))
            first_full = std::min(first_full, loudness);
    }
    EXPECT_GE(climax - loudest_other, 2.0) << "climax " << climax << " LUFS, loudest other " << loudest_other;
    EXPECT_GT(climax - first_full, 2.0);

    // Each bar is heard as the chord it was composed on, a quarter of a second in (past the attack).
    int checked = 0;
    for (int p = 0; p < SONG_POSITION_COUNT; p++)
        for (int row = 0; row < song_positions[p].rows && song_position_has_harmony(p); row += SONG_ROWS_PER_BAR) {
            const SongChord want = song_chord_at(p, row);
            EXPECT_EQ(heard_chord(audio, size_t((song_row_time(p, row) + 0.25) * RATE)), want.root + 12 * want.minor)
                << "bar at " << p << "/" << row << " (root pitch class, plus 12 when minor)";
            checked++;
        }
    EXPECT_EQ(checked, 230);

    // Each drum channel alone over the credits' full groove (positions 10-14): snare and hats
    // within 15 dB of the kick; kick and snare in the centre, the hats not.
    const size_t groove = frame_at(15) - frame_at(10);
    auto alone = [groove](int channel) { return measure(render_from(10, groove, 1u << channel), 0, groove); };
    const MixMeasure kick = alone(SONG_CH_KICK), snare = alone(SONG_CH_SNARE), hats = alone(SONG_CH_HATS);
    EXPECT_GT(snare.rms_db, kick.rms_db - 15.0);
    EXPECT_GT(hats.rms_db, kick.rms_db - 15.0);
    EXPECT_GT(kick.correlation, 0.99);
    EXPECT_GT(snare.correlation, 0.99);
    EXPECT_LT(hats.correlation, 0.9);

    // Played on past the last position, as FT2 and MilkyTracker loop by default, the second pass's
    // first 20 s are as loud as the song's first 20 s.
    const size_t tail = frame_at(SONG_POSITION_COUNT) - frame_at(SONG_POSITION_COUNT - 1), pass = 20 * RATE;
    EXPECT_NEAR(measure(render_from(SONG_POSITION_COUNT - 1, tail + pass, 0, 1), tail, tail + pass).integrated_lufs,
        measure(audio, 0, pass).integrated_lufs, 0.5);
}

TEST(SoundtrackInstruments, NormalisedLoopedCleanlyDecayedAndPitched)
{
    std::vector<XmInstrument> instruments;
    make_song_instruments(&instruments);
    ASSERT_EQ(instruments.size(), size_t(SONG_INSTRUMENT_LAST));
    int one_shots = 0;
    for (const XmInstrument& ins : instruments) {
        SCOPED_TRACE(ins.name);
        ASSERT_EQ(ins.samples.size(), 1u);
        const XmSample& s = ins.samples[0];
        int peak = 0, tail = 0; // tail: the last 5 ms
        for (size_t i = 0; i < s.frames.size(); i++) {
            peak = std::max(peak, std::abs(int(s.frames[i])));
            if (i + size_t(0.005 * SONG_SYNTH_RATE) >= s.frames.size())
                tail = std::max(tail, std::abs(int(s.frames[i])));
        }
        EXPECT_NEAR(peak, int(0.97 * 32767), 1); // normalised, never clipped
        if (s.loop != XM_LOOP_NONE) {
            EXPECT_LE(uint64_t(s.loop_start) + s.loop_length, s.frames.size());
            // A sustained instrument needs an envelope, or a key-off cuts it dead.
            EXPECT_TRUE(ins.volume_envelope.flags & XM_ENVELOPE_ON);
        } else {
            one_shots++; // a one-shot decays 40 dB before its end, so it never clicks off
            EXPECT_LE(20.0 * std::log10(std::max(tail, 1) / double(peak)), -40.0);
        }
    }
    EXPECT_EQ(one_shots, 6); // kick, snare, two hats, crash, riser
    // Octaves the chord test cannot hear: the bass is a C-2 sample, the lead a C-4 one.
    EXPECT_EQ(instruments[SONG_BASS - 1].samples[0].relative_note, 48);
    EXPECT_EQ(instruments[SONG_LEAD - 1].samples[0].relative_note, 24);
}

TEST(SoundtrackArrangement, SceneChangesAreMarked)
{
    // Every scene change after the opening is marked in the bar before it: a tom fill, a snare
    // roll, a stop (the drums rest on the last beat after playing earlier in the bar) or a riser.
    for (int p = 8; p < SONG_POSITION_COUNT; p++) {
        if (song_positions[p].scene == song_positions[p - 1].scene)
            continue;
        const int rows = song_positions[p - 1].rows;
        int toms = 0, snares = 0, early_drums = 0, late_drums = 0, risers = 0;
        for (int r = 0; r < rows; r++) {
            risers += cell(p - 1, r, SONG_CH_FX).instrument == SONG_RISER;
            if (r < rows - SONG_ROWS_PER_BAR)
                continue;
            const XmCell& kick = cell(p - 1, r, SONG_CH_KICK);
            toms += kick.note && kick.note != XM_NOTE_C4 && kick.note != XM_NOTE_OFF;
            snares += cell(p - 1, r, SONG_CH_SNARE).note != 0;
            (r < rows - 4 ? early_drums : late_drums) += (kick.note != 0) + (cell(p - 1, r, SONG_CH_HATS).note != 0);
        }
        const bool stop = early_drums > 0 && late_drums == 0;
        EXPECT_TRUE(toms >= 3 || snares >= 8 || stop || risers > 0) << "scene change at position " << p;
    }
}
