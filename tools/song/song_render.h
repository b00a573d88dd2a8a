// song_render.h -- offline rendering of a module with libopenmpt: audio, sync timing, WAV output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A sync command heard during rendering: its value, where it sits and when its row started.
struct RenderedSync {
    int value;
    int position;
    int row;
    double seconds;
};

struct SongRender {
    int rate = 0;
    std::vector<float> stereo; // interleaved left/right, nominal range -1..1
    std::vector<RenderedSync> syncs;
    std::string tracker; // libopenmpt's idea of the tracker that wrote the file
    int instrument_count = 0;
    int sample_count = 0;
    int channel_count = 0;
    double duration = 0.0; // libopenmpt's estimate, seconds
};

// Renders the module. `sync_channel` is the channel scanned for effect W (-1: every channel);
// `repeats` extra passes follow the first as a looping player plays them; with `solo_channels`
// non-zero only the channels whose bits are set sound. Returns false when libopenmpt cannot load it.
bool render_song(const std::vector<uint8_t>& module, int rate, int sync_channel, SongRender* out, int repeats = 0,
    uint32_t solo_channels = 0);

// Writes interleaved stereo as a 16-bit PCM WAV (samples clamped to full scale).
bool write_wav(const std::string& path, const std::vector<float>& stereo, int rate);
