// song_synth.h -- the soundtrack's instruments: synthesised 16-bit samples with loops and envelopes.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/formats/xm_writer.h"

// Every sample is synthesised at 4 x 8363 Hz, so a note C-4 with relative note 24 plays it at its
// own rate. Pitched samples put C-4 at 128 frames per period (the bass puts C-2 at 512).
constexpr double SONG_SYNTH_RATE = 33452.0;

// Instrument numbers as the patterns use them (XM numbering starts at 1).
enum SongInstrumentId : uint8_t {
    SONG_KICK = 1,
    SONG_SNARE,
    SONG_HAT_CLOSED,
    SONG_HAT_OPEN,
    SONG_CRASH,
    SONG_BASS,
    SONG_PAD,
    SONG_LEAD,
    SONG_ARP,
    SONG_BELL,
    SONG_RISER,
    SONG_INSTRUMENT_LAST = SONG_RISER,
};

// Deterministic noise for the drums: xorshift32, uniform in [-1, 1).
struct SongNoise {
    uint32_t state;
};
double song_noise_next(SongNoise* noise);

// Scales a signal so its largest magnitude becomes peak x 32767 and stores it as 16-bit frames.
void song_normalise(const std::vector<double>& signal, double peak, std::vector<int16_t>* frames);

// Fills out with every instrument, index 0 holding instrument 1. Deterministic.
void make_song_instruments(std::vector<XmInstrument>* out);
