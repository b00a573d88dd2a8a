// make_song.cpp -- generates the soundtrack module; optionally renders it to WAV and reports levels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/song/song_analysis.h"
#include "tools/song/song_compose.h"
#include "tools/song/song_render.h"
#include "tools/song/song_sync.h"

namespace {

void usage()
{
    std::fprintf(stderr,
        "usage: make_song OUT.xm [--wav OUT.wav] [--report]\n"
        "  --wav     also render the song with libopenmpt at 48 kHz into a WAV file\n"
        "  --report  print length, loudness, band energies and stereo correlation per section, and\n"
        "            where each sync lands\n");
}

size_t frame_of_position(int position, int rate)
{
    int rows = 0;
    for (int p = 0; p < position; p++)
        rows += song_positions[p].rows;
    return size_t(rows) * size_t(rate) * 12 / 100; // 0.12 s per row
}

void print_row(const char* name, const char* where, const MixMeasure& m)
{
    std::printf("| %-11s | %-7s | %6.1f | %6.1f | %5.1f | %4.0f | %4.0f | %4.0f | %4.0f | %4.2f |\n", name, where,
        m.integrated_lufs, m.short_term_median, m.true_peak_db, 100.0 * m.band_share[0],
        100.0 * (m.band_share[0] + m.band_share[1]), 100.0 * m.band_share[3], 100.0 * m.band_share[4], m.correlation);
}

// Whole-song RMS of the channels in `mask` alone, over the given stretches.
double stem_rms_db(const std::vector<uint8_t>& bytes, uint32_t mask, const std::vector<MixStretch>& stretches)
{
    SongRender stem;
    MixMeasure m;
    if (!render_song(bytes, 48000, SONG_CH_SYNC, &stem, 0, mask)
        || !measure_mix_stretches(stem.stereo, stem.rate, stretches, &m))
        return -999.0;
    return m.rms_db;
}

void report(const SongRender& r, const std::vector<uint8_t>& bytes)
{
    size_t frames = r.stereo.size() / 2;
    std::printf("tracker: %s, %d channels, %d instruments, length %.2f s\n", r.tracker.c_str(), r.channel_count,
        r.instrument_count, double(frames) / r.rate);
    std::printf("| section     | pos     |   LUFS | ST med |  dBTP | <60  | <250 | 1-4k | >4k  | corr |\n");
    std::printf("|-------------|---------|--------|--------|-------|------|------|------|------|------|\n");
    std::vector<MixStretch> full;
    MixMeasure m;
    for (int i = 0; i < song_section_count(); i++) {
        SongSection s = song_section(i);
        MixStretch st = { frame_of_position(s.first, r.rate), frame_of_position(s.end, r.rate) };
        if (s.full)
            full.push_back(st);
        char where[16];
        std::snprintf(where, sizeof where, "%d-%d%s", s.first, s.end - 1, s.full ? "*" : "");
        if (measure_mix(r.stereo, r.rate, st.first, st.end, &m))
            print_row(s.name, where, m);
    }
    if (measure_mix_stretches(r.stereo, r.rate, full, &m))
        print_row("full (*)", "", m);
    if (measure_mix(r.stereo, r.rate, 0, frames, &m)) {
        print_row("whole song", "", m);
        std::printf("whole song: RMS %.1f dBFS, sample peak %.2f dBFS, DC %.0f dBFS\n", m.rms_db, m.peak_db, m.dc_db);
    }
    std::printf("full sections, one channel at a time: kick %.1f, snare %.1f, hats %.1f, bass %.1f dBFS RMS\n",
        stem_rms_db(bytes, 1u << SONG_CH_KICK, full), stem_rms_db(bytes, 1u << SONG_CH_SNARE, full),
        stem_rms_db(bytes, 1u << SONG_CH_HATS, full), stem_rms_db(bytes, 1u << SONG_CH_BASS, full));
    SongRender twice;
    if (render_song(bytes, 48000, SONG_CH_SYNC, &twice, 1)) {
        size_t second = r.stereo.size() / 2;
        if (measure_mix(twice.stereo, twice.rate, second, twice.stereo.size() / 2, &m))
            std::printf("second pass of a looping player: %.1f s, %s%.1f LUFS\n",
                double(twice.stereo.size() / 2 - second) / twice.rate, m.integrated_lufs < -200.0 ? "silent, " : "",
                std::max(m.integrated_lufs, -999.0));
    }
    // The opening's row syncs fill every row there; list them as one line.
    int row_syncs = 0;
    for (const RenderedSync& s : r.syncs) {
        if (s.value == SONG_ROW_SYNC_VALUE && s.position < SONG_ROW_SYNC_POSITIONS)
            row_syncs++;
        else
            std::printf("W%-3d at %2d/%-2d %7.2f s\n", s.value, s.position, s.row, s.seconds);
    }
    std::printf(
        "W%d on the other %d rows of positions 0-%d\n", SONG_ROW_SYNC_VALUE, row_syncs, SONG_ROW_SYNC_POSITIONS - 1);
}

} // namespace

int main(int argc, char** argv)
{
    const char* out_path = nullptr;
    const char* wav_path = nullptr;
    bool want_report = false;
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--wav") && i + 1 < argc)
            wav_path = argv[++i];
        else if (!std::strcmp(argv[i], "--report"))
            want_report = true;
        else if (argv[i][0] != '-' && !out_path)
            out_path = argv[i];
        else {
            usage();
            return 2;
        }
    }
    if (!out_path) {
        usage();
        return 2;
    }
    XmSong song;
    compose_song(&song);
    std::vector<uint8_t> bytes;
    if (!xm_encode(&song, &bytes)) {
        std::fprintf(stderr, "make_song: the composed song does not fit the XM format\n");
        return 1;
    }
    FILE* f = std::fopen(out_path, "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_song: cannot write %s\n", out_path);
        return 1;
    }
    if (wav_path || want_report) {
        SongRender render;
        if (!render_song(bytes, 48000, SONG_CH_SYNC, &render)) {
            std::fprintf(stderr, "make_song: libopenmpt cannot load the generated song\n");
            return 1;
        }
        if (wav_path && !write_wav(wav_path, render.stereo, render.rate)) {
            std::fprintf(stderr, "make_song: cannot write %s\n", wav_path);
            return 1;
        }
        if (want_report)
            report(render, bytes);
    }
    return 0;
}
