// test_song_mix.cpp -- the soundtrack as heard: loudness, peak, spectrum, stereo image, climax, sample
// tails and the looped second pass measured from renders; phrase variety and scene-change fills
// from the pattern data; the opening's frozen frames from a capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>
#include <set>
#include <vector>

#include "test_capture_child.h"
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
    SongRender render;
    bool ok = false;
};

// Composed and encoded once per test program; rendered on first need.
const Song& song(bool render = true)
{
    static Song s = [] {
        Song out;
        compose_song(&out.song);
        out.ok = xm_encode(&out.song, &out.bytes);
        return out;
    }();
    static bool rendered = false;
    if (render && !rendered) {
        rendered = true;
        s.ok = s.ok && render_song(s.bytes, RATE, SONG_CH_SYNC, &s.render);
    }
    return s;
}

MixStretch stretch_of(const SongSection& s)
{
    return { size_t(song_row_time(s.first, 0) * RATE), size_t(song_row_time(s.end, 0) * RATE) };
}

std::vector<MixStretch> full_sections()
{
    std::vector<MixStretch> out;
    for (int i = 0; i < song_section_count(); i++)
        if (song_section(i).full)
            out.push_back(stretch_of(song_section(i)));
    return out;
}

// Renders `frames` frames from the start of `position`, with `repeats` passes and only the
// channels in `solo` (0: all) sounding, as a player started there would play them.
std::vector<float> render_from(int position, size_t frames, uint32_t solo = 0, int repeats = 0)
{
    openmpt::module_ext mod(song(false).bytes);
    mod.set_repeat_count(repeats);
    mod.ctl_set_integer("dither", 0);
    auto* interactive = static_cast<openmpt::ext::interactive*>(mod.get_interface(openmpt::ext::interactive_id));
    for (int ch = 0; ch < mod.get_num_channels() && solo; ch++)
        interactive->set_channel_mute_status(ch, !(solo >> ch & 1u));
    mod.set_position_order_row(position, 0);
    std::vector<float> audio(frames * 2);
    size_t got = 0;
    while (got < frames) {
        size_t n = mod.read_interleaved_stereo(RATE, std::min<size_t>(4096, frames - got), &audio[got * 2]);
        if (n == 0)
            break;
        got += n;
    }
    audio.resize(got * 2);
    return audio;
}

const XmCell& cell(const Song& s, int position, int row, int channel)
{
    const XmPattern& p = s.song.patterns[s.song.orders[size_t(position)]];
    return p.cells[size_t(row) * size_t(s.song.channel_count) + size_t(channel)];
}

} // namespace

TEST(SongMix, LoudnessPeakSpectrumAndImage)
{
    const Song& s = song();
    ASSERT_TRUE(s.ok);
    const std::vector<float>& audio = s.render.stereo;
    MixMeasure whole, full, intro, body;
    ASSERT_TRUE(measure_mix(audio, RATE, 0, audio.size() / 2, &whole));
    EXPECT_NEAR(whole.integrated_lufs, -14.0, 1.0);
    EXPECT_LE(whole.true_peak_db, -1.0);
    EXPECT_LT(whole.peak_db, 0.0); // nothing clipped
    EXPECT_LT(whole.dc_db, -60.0);

    ASSERT_TRUE(measure_mix_stretches(audio, RATE, full_sections(), &full, false));
    EXPECT_LE(full.correlation, 0.85); // a stereo image, not a mono mix
    EXPECT_LE(full.band_share[0] + full.band_share[1], 0.50); // below 250 Hz
    EXPECT_GE(full.band_share[3], 0.10); // 1-4 kHz

    // The intro (pad, bell, then bass) is quieter than the body, by at most 8 LU.
    ASSERT_TRUE(measure_mix(audio, RATE, 0, size_t(song_row_time(4, 0) * RATE), &intro, false));
    ASSERT_TRUE(measure_mix(audio, RATE, size_t(song_row_time(4, 0) * RATE), audio.size() / 2, &body, false));
    EXPECT_GE(intro.integrated_lufs, body.integrated_lufs - 8.0);
}

TEST(SongMix, ClimaxStandsAboveEveryOtherFullSection)
{
    const Song& s = song();
    ASSERT_TRUE(s.ok);
    // The swarm (positions 37-38) is the loudest section by at least 2 LU of short-term loudness,
    // and the full sections before it build towards it.
    MixMeasure m;
    double climax = -1e9, loudest_other = -1e9, first_full = 1e9;
    int climax_sections = 0;
    for (int i = 0; i < song_section_count(); i++) {
        SongSection sec = song_section(i);
        if (!sec.full)
            continue;
        MixStretch st = stretch_of(sec);
        ASSERT_TRUE(measure_mix(s.render.stereo, RATE, st.first, st.end, &m, false)) << sec.name;
        if (sec.first == 37) {
            climax = m.short_term_median;
            climax_sections++;
        } else {
            loudest_other = std::max(loudest_other, m.short_term_median);
            if (sec.first < 37)
                first_full = std::min(first_full, m.short_term_median);
        }
    }
    ASSERT_EQ(climax_sections, 1);
    EXPECT_GE(climax - loudest_other, 2.0) << "climax " << climax << " LUFS, loudest other " << loudest_other;
    EXPECT_GT(climax - first_full, 2.0);
}

TEST(SongMix, DrumsAreAudibleAgainstTheKick)
{
    // Each drum channel rendered alone over the credits' full groove (positions 10-14).
    const size_t frames = size_t((song_row_time(15, 0) - song_row_time(10, 0)) * RATE);
    auto stem = [&](int channel) {
        std::vector<float> audio = render_from(10, frames, 1u << channel);
        MixMeasure m;
        EXPECT_EQ(audio.size(), frames * 2);
        EXPECT_TRUE(measure_mix(audio, RATE, 0, audio.size() / 2, &m, false));
        return m;
    };
    MixMeasure kick = stem(SONG_CH_KICK), snare = stem(SONG_CH_SNARE), hats = stem(SONG_CH_HATS);
    EXPECT_GT(snare.rms_db, kick.rms_db - 15.0);
    EXPECT_GT(hats.rms_db, kick.rms_db - 15.0);
    // Kick and snare sit in the centre; the hats do not.
    EXPECT_GT(kick.correlation, 0.99);
    EXPECT_GT(snare.correlation, 0.99);
    EXPECT_LT(hats.correlation, 0.9);
}

TEST(SongMix, LoopingPlayerHearsTheSecondPassLikeTheFirst)
{
    // Play the last position into a second pass, as FT2 and MilkyTracker loop by default, and
    // compare the second pass's first 20 s with the song's first 20 s.
    const int last = SONG_POSITION_COUNT - 1;
    const size_t tail = size_t((song_row_time(last + 1, 0) - song_row_time(last, 0)) * RATE);
    const size_t pass = size_t(20 * RATE);
    std::vector<float> looped = render_from(last, tail + pass, 0, 1);
    std::vector<float> first_pass = render_from(0, pass);
    ASSERT_EQ(looped.size(), (tail + pass) * 2);
    MixMeasure first, second;
    ASSERT_TRUE(measure_mix(first_pass, RATE, 0, pass, &first, false));
    ASSERT_TRUE(measure_mix(looped, RATE, tail, tail + pass, &second, false));
    EXPECT_NEAR(second.integrated_lufs, first.integrated_lufs, 0.5);
}

TEST(SongMix, OneShotSamplesDecayBeforeTheirEnd)
{
    std::vector<XmInstrument> instruments;
    make_song_instruments(&instruments);
    int one_shots = 0;
    for (const XmInstrument& ins : instruments) {
        const XmSample& s = ins.samples[0];
        if (s.loop != XM_LOOP_NONE)
            continue;
        one_shots++;
        int peak = 0, tail = 0;
        const size_t tail_frames = size_t(0.005 * SONG_SYNTH_RATE);
        for (size_t i = 0; i < s.frames.size(); i++) {
            int v = std::abs(int(s.frames[i]));
            peak = std::max(peak, v);
            if (i + tail_frames >= s.frames.size())
                tail = std::max(tail, v);
        }
        EXPECT_LE(20.0 * std::log10(std::max(tail, 1) / double(peak)), -40.0) << ins.name;
    }
    EXPECT_EQ(one_shots, 6); // kick, snare, two hats, crash, riser
}

TEST(SongArrangement, LeadPhrasesVaryAndSceneChangesAreMarked)
{
    const Song& s = song(false);
    // Distinct bar phrases of the lead: the notes and where they fall in the bar.
    std::set<std::vector<int>> phrases;
    for (int p = 0; p < SONG_POSITION_COUNT; p++)
        for (int bar = 0; bar < song_positions[p].rows; bar += SONG_ROWS_PER_BAR) {
            std::vector<int> phrase;
            for (int r = 0; r < SONG_ROWS_PER_BAR; r++) {
                const XmCell& c = cell(s, p, bar + r, SONG_CH_LEAD);
                if (c.note && c.note != XM_NOTE_OFF)
                    phrase.push_back(r * 256 + c.note);
            }
            if (!phrase.empty())
                phrases.insert(phrase);
        }
    EXPECT_GE(phrases.size(), 36u);

    // Every scene change after the opening is marked in the bar before it: a tom fill, a snare
    // roll, a stop (the drums rest on the last beat after playing earlier in the bar) or a riser.
    for (int p = 8; p < SONG_POSITION_COUNT; p++) {
        if (song_positions[p].scene == song_positions[p - 1].scene)
            continue;
        int rows = song_positions[p - 1].rows, bar = rows - SONG_ROWS_PER_BAR;
        int toms = 0, snares = 0, early_drums = 0, late_drums = 0, risers = 0;
        for (int r = bar; r < rows; r++) {
            const XmCell& kick = cell(s, p - 1, r, SONG_CH_KICK);
            toms += kick.note && kick.note != XM_NOTE_C4 && kick.note != XM_NOTE_OFF;
            snares += cell(s, p - 1, r, SONG_CH_SNARE).note != 0;
            int drums = (kick.note != 0) + (cell(s, p - 1, r, SONG_CH_HATS).note != 0);
            (r < rows - 4 ? early_drums : late_drums) += drums;
        }
        for (int r = 0; r < rows; r++)
            risers += cell(s, p - 1, r, SONG_CH_FX).instrument == SONG_RISER;
        bool stop = early_drums > 0 && late_drums == 0;
        EXPECT_TRUE(toms >= 3 || snares >= 8 || stop || risers > 0) << "scene change at position " << p;
    }
}

TEST(SongOpening, RingsKeepRisingWithoutFrozenFrames)
{
    // From the first rings (position 2) to the field lines, the picture never stands still for
    // more than two ticks (at most two frames in a row repeat the one before), the re-entries at
    // the ends of positions 3-6 included.
    const std::string data = song_folder(false);
    ASSERT_FALSE(data.empty());
    const double seconds = 2.016 + song_row_time(8, 0) + 0.5;
    const ChildRun run
        = run_capture_child({ "--capture=null", "--seconds=" + std::to_string(seconds), "--data=" + data },
            [](const CaptureFrame&) { return true; });
    ASSERT_EQ(run.exit_code, 0);
    int longest = 0, held = 0, checked = 0, waits = 0;
    uint64_t previous = 0;
    for (const ChildFrame& f : run.frames) {
        bool in_opening = f.position >= 2 && f.position < 8 && (f.scene <= 1 || f.scene == 12);
        if (!in_opening) {
            held = 0;
            continue;
        }
        checked++;
        waits += f.scene == 12;
        held = f.hash == previous ? held + 1 : 0;
        longest = std::max(longest, held);
        previous = f.hash;
    }
    EXPECT_GT(checked, 1400);
    EXPECT_GE(waits, 4); // the four re-entries happen
    EXPECT_LE(longest, 2);
}
