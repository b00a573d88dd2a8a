// song_analysis.cpp -- loudness and true peak through libebur128, band energies through FFTW, and the
// plain sums (correlation, RMS, DC) over stretches of a rendered mix.
#include "tools/song/song_analysis.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <fftw3.h>

const double mix_band_edges[MIX_BAND_COUNT - 1] = { 60.0, 250.0, 1000.0, 4000.0 };

namespace {

double to_db(double v)
{
    return v > 0.0 ? 20.0 * std::log10(v) : -1e9;
}

// Spectral energy per band of one channel's stretch: Hann-windowed blocks of FFT_SIZE frames.
constexpr int FFT_SIZE = 8192;

struct BandMeter {
    double* in = nullptr;
    fftw_complex* out = nullptr;
    fftw_plan plan = nullptr;
    double window[FFT_SIZE];
    double energy[MIX_BAND_COUNT] = {};
};

bool band_meter_open(BandMeter* m)
{
    m->in = fftw_alloc_real(FFT_SIZE);
    m->out = fftw_alloc_complex(FFT_SIZE / 2 + 1);
    if (!m->in || !m->out)
        return false;
    m->plan = fftw_plan_dft_r2c_1d(FFT_SIZE, m->in, m->out, FFTW_ESTIMATE);
    for (int i = 0; i < FFT_SIZE; i++)
        m->window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / FFT_SIZE);
    return m->plan != nullptr;
}

void band_meter_close(BandMeter* m)
{
    if (m->plan)
        fftw_destroy_plan(m->plan);
    fftw_free(m->in);
    fftw_free(m->out);
}

void band_meter_add(BandMeter* m, const std::vector<float>& stereo, int rate, size_t first, size_t end)
{
    for (size_t block = first; block + FFT_SIZE <= end; block += FFT_SIZE)
        for (int channel = 0; channel < 2; channel++) {
            for (int i = 0; i < FFT_SIZE; i++)
                m->in[i] = stereo[(block + size_t(i)) * 2 + size_t(channel)] * m->window[i];
            fftw_execute(m->plan);
            for (int k = 1; k <= FFT_SIZE / 2; k++) {
                double freq = double(k) * rate / FFT_SIZE;
                int band = 0;
                while (band < MIX_BAND_COUNT - 1 && freq >= mix_band_edges[band])
                    band++;
                m->energy[band] += m->out[k][0] * m->out[k][0] + m->out[k][1] * m->out[k][1];
            }
        }
}

} // namespace

bool measure_mix_stretches(const std::vector<float>& stereo, int rate, const std::vector<MixStretch>& stretches,
    MixMeasure* out, bool true_peak)
{
    *out = MixMeasure();
    ebur128_state* meter
        = ebur128_init(2, unsigned(rate), EBUR128_MODE_I | EBUR128_MODE_S | (true_peak ? EBUR128_MODE_TRUE_PEAK : 0));
    BandMeter* bands = new BandMeter();
    bool ok = meter && band_meter_open(bands);
    double sum_ll = 0.0, sum_rr = 0.0, sum_lr = 0.0, sum_l = 0.0, sum_r = 0.0, peak = 0.0;
    size_t frames = 0;
    std::vector<double> short_term;
    const size_t step = size_t(rate) / 10;
    for (const MixStretch& s : stretches) {
        if (!ok)
            break;
        size_t end = std::min(s.end, stereo.size() / 2);
        for (size_t f = s.first; f < end; f++) {
            double l = stereo[f * 2], r = stereo[f * 2 + 1];
            sum_ll += l * l;
            sum_rr += r * r;
            sum_lr += l * r;
            sum_l += l;
            sum_r += r;
            peak = std::max({ peak, std::fabs(l), std::fabs(r) });
        }
        frames += end > s.first ? end - s.first : 0;
        // Short-term readings every 100 ms once a whole 3 s window lies inside this stretch.
        for (size_t f = s.first; f < end; f += step) {
            size_t n = std::min(step, end - f);
            if (ebur128_add_frames_float(meter, &stereo[f * 2], n) != EBUR128_SUCCESS)
                ok = false;
            double st;
            if (f + n >= s.first + 3 * size_t(rate) && ebur128_loudness_shortterm(meter, &st) == EBUR128_SUCCESS
                && std::isfinite(st))
                short_term.push_back(st);
        }
        band_meter_add(bands, stereo, rate, s.first, end);
    }
    if (ok && frames > 0) {
        double v;
        if (ebur128_loudness_global(meter, &v) == EBUR128_SUCCESS && std::isfinite(v))
            out->integrated_lufs = v;
        double tp = 0.0;
        for (unsigned c = 0; c < 2 && true_peak; c++)
            if (ebur128_true_peak(meter, c, &v) == EBUR128_SUCCESS)
                tp = std::max(tp, v);
        out->true_peak_db = to_db(tp);
        if (!short_term.empty()) {
            std::sort(short_term.begin(), short_term.end());
            out->short_term_median = short_term[short_term.size() / 2];
            out->short_term_max = short_term.back();
        }
        out->peak_db = to_db(peak);
        out->rms_db = to_db(std::sqrt((sum_ll + sum_rr) / (2.0 * double(frames))));
        out->dc_db = to_db(std::max(std::fabs(sum_l), std::fabs(sum_r)) / double(frames));
        out->correlation = sum_ll > 0.0 && sum_rr > 0.0 ? sum_lr / std::sqrt(sum_ll * sum_rr) : 1.0;
        double total = 0.0;
        for (double e : bands->energy)
            total += e;
        for (int b = 0; b < MIX_BAND_COUNT; b++)
            out->band_share[b] = total > 0.0 ? bands->energy[b] / total : 0.0;
    }
    band_meter_close(bands);
    delete bands;
    if (meter)
        ebur128_destroy(&meter);
    return ok && frames > 0;
}

bool measure_mix(const std::vector<float>& stereo, int rate, size_t first, size_t end, MixMeasure* out, bool true_peak)
{
    return measure_mix_stretches(stereo, rate, { { first, end } }, out, true_peak);
}
