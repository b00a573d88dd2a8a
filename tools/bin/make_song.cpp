// make_song.cpp -- generates the soundtrack module; optionally renders it to WAV and reports levels.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/lib/song_compose.h"
#include "tools/lib/song_render.h"
#include "tools/lib/song_sync.h"

namespace {

void usage()
{
    std::fprintf(stderr,
        "usage: make_song OUT.xm [--wav OUT.wav] [--report]\n"
        "  --wav     also render the song with libopenmpt at 48 kHz into a WAV file\n"
        "  --report  print length, levels per scene and where each sync lands\n");
}

double to_db(double v)
{
    return v > 0.0 ? 20.0 * std::log10(v) : -999.0;
}

void report(const SongRender& r)
{
    size_t frames = r.stereo.size() / 2;
    std::printf("tracker: %s, %d channels, %d instruments, length %.2f s\n", r.tracker.c_str(), r.channel_count,
        r.instrument_count, double(frames) / r.rate);
    // Levels between consecutive scene syncs.
    std::vector<RenderedSync> marks;
    for (const RenderedSync& s : r.syncs)
        if (s.value <= 16)
            marks.push_back(s);
    double total_sq = 0.0, total_peak = 0.0;
    for (size_t i = 0; i < marks.size(); i++) {
        size_t a = size_t(marks[i].seconds * r.rate);
        size_t b = i + 1 < marks.size() ? size_t(marks[i + 1].seconds * r.rate) : frames;
        double sq = 0.0, peak = 0.0;
        for (size_t f = a; f < b && f < frames; f++)
            for (int c = 0; c < 2; c++) {
                double v = r.stereo[f * 2 + c];
                sq += v * v;
                peak = std::max(peak, std::fabs(v));
            }
        total_sq += sq;
        total_peak = std::max(total_peak, peak);
        std::printf("scene %2d from %6.2f s: RMS %6.1f dBFS, peak %6.1f dBFS\n", marks[i].value, marks[i].seconds,
            to_db(std::sqrt(sq / (2.0 * double(b - a)))), to_db(peak));
    }
    std::printf("whole song: RMS %.1f dBFS, peak %.2f dBFS\n", to_db(std::sqrt(total_sq / (2.0 * double(frames)))),
        to_db(total_peak));
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
            report(render);
    }
    return 0;
}
