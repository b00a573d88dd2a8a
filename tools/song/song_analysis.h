// song_analysis.h -- measures a rendered mix: loudness and true peak (libebur128), band energies (FFTW),
// stereo correlation, RMS and DC offset over stretches of interleaved stereo.
#pragma once

#include <cstddef>
#include <vector>

// Band edges of the energy split, in Hz: below 60, 60-250, 250-1000, 1000-4000, above 4000.
constexpr int MIX_BAND_COUNT = 5;
extern const double mix_band_edges[MIX_BAND_COUNT - 1];

struct MixMeasure {
    double integrated_lufs = -1e9; // gated integrated loudness
    double short_term_median = -1e9; // median of the 3 s short-term loudness, read every 100 ms
    double short_term_max = -1e9;
    double true_peak_db = -1e9; // dBTP, the larger of the two channels
    double peak_db = -1e9; // sample peak, dBFS
    double rms_db = -1e9; // both channels together, dBFS
    double dc_db = -1e9; // the larger channel mean, dBFS
    double correlation = 1.0; // left/right correlation coefficient
    double band_share[MIX_BAND_COUNT] = {}; // fraction of the spectral energy in each band
};

// Measures frames [first, end) of `stereo` (interleaved left/right, nominal range -1..1) at `rate`.
// Returns false when libebur128 or FFTW cannot be set up or the stretch is empty. True peak needs
// four-times oversampling, the slowest part: without `true_peak` it stays at -1e9.
bool measure_mix(
    const std::vector<float>& stereo, int rate, size_t first, size_t end, MixMeasure* out, bool true_peak = true);

// Several stretches measured as one programme (loudness gated over all of them, energies summed).
struct MixStretch {
    size_t first, end;
};
bool measure_mix_stretches(const std::vector<float>& stereo, int rate, const std::vector<MixStretch>& stretches,
    MixMeasure* out, bool true_peak = true);
