// song_synth.cpp -- synthesis of the soundtrack's drums, bass, pad, lead, arpeggio, bell and riser.
#include "tools/song/song_synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double RATE = SONG_SYNTH_RATE;

int frames_for(double seconds)
{
    return static_cast<int>(seconds * RATE);
}

// RBJ biquad, direct form I.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};

Biquad make_biquad(int kind, double cutoff, double q)
{
    // kind 0: low-pass, 1: high-pass, 2: band-pass (0 dB peak)
    double w = 2.0 * PI * cutoff / RATE;
    double alpha = std::sin(w) / (2.0 * q);
    double c = std::cos(w);
    double b0, b1, b2;
    if (kind == 0) {
        b0 = (1.0 - c) / 2.0;
        b1 = 1.0 - c;
        b2 = b0;
    } else if (kind == 1) {
        b0 = (1.0 + c) / 2.0;
        b1 = -(1.0 + c);
        b2 = b0;
    } else {
        b0 = alpha;
        b1 = 0.0;
        b2 = -alpha;
    }
    double a0 = 1.0 + alpha;
    Biquad f = { b0 / a0, b1 / a0, b2 / a0, -2.0 * c / a0, (1.0 - alpha) / a0, 0, 0, 0, 0 };
    return f;
}

double biquad_run(Biquad* f, double x)
{
    double y = f->b0 * x + f->b1 * f->x1 + f->b2 * f->x2 - f->a1 * f->y1 - f->a2 * f->y2;
    f->x2 = f->x1;
    f->x1 = x;
    f->y2 = f->y1;
    f->y1 = y;
    return y;
}

// Topology-preserving state-variable filter; cutoff may change every frame.
struct StateVariable {
    double ic1, ic2;
};

void svf_run(StateVariable* s, double x, double cutoff, double q, double* low, double* band)
{
    double g = std::tan(PI * std::min(cutoff, RATE * 0.45) / RATE);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k));
    double a2 = g * a1;
    double a3 = g * a2;
    double v3 = x - s->ic2;
    double v1 = a1 * s->ic1 + a2 * v3;
    double v2 = s->ic2 + a2 * s->ic1 + a3 * v3;
    s->ic1 = 2.0 * v1 - s->ic1;
    s->ic2 = 2.0 * v2 - s->ic2;
    *low = v2;
    *band = v1;
}

void set_envelope(XmEnvelope* e, std::initializer_list<std::pair<int, int>> points, int sustain)
{
    *e = XmEnvelope();
    for (auto [tick, value] : points)
        xm_envelope_add(e, static_cast<uint16_t>(tick), static_cast<uint16_t>(value));
    e->flags = XM_ENVELOPE_ON;
    if (sustain >= 0) {
        e->flags |= XM_ENVELOPE_SUSTAIN;
        e->sustain_point = static_cast<uint8_t>(sustain);
    }
}

// One-pole high-pass at about 10 Hz: takes out the offset a filter sweep or an asymmetric attack
// leaves, which would otherwise sit in the mix for as long as the note sounds.
void remove_dc(std::vector<double>* s)
{
    double x1 = 0.0, y1 = 0.0;
    const double pole = 1.0 - 2.0 * PI * 10.0 / RATE;
    for (double& v : *s) {
        double y = v - x1 + pole * y1;
        x1 = v;
        y1 = y;
        v = y;
    }
}

// Makes a one-shot sample end in silence: no offset, and the last `fade` seconds faded out along a
// raised cosine, so the sample's end is no step even in players without click removal.
void finish_one_shot(std::vector<double>* s, double fade)
{
    remove_dc(s);
    int count = static_cast<int>(s->size());
    int n = std::min(count, frames_for(fade));
    for (int i = 0; i < n; i++)
        (*s)[count - n + i] *= 0.5 + 0.5 * std::cos(PI * (i + 1) / n);
    // What offset is left (the high-pass's undershoot, cut by the fade) comes off as a smooth bump
    // over the whole sample, so the sample sums to zero and starts and ends at zero.
    double sum = 0.0, bump_sum = 0.0;
    for (int i = 0; i < count; i++) {
        sum += (*s)[i];
        bump_sum += std::sin(PI * i / count);
    }
    for (int i = 0; i < count && bump_sum > 0.0; i++)
        (*s)[i] -= sum / bump_sum * std::sin(PI * i / count);
}

// An instrument with one sample that plays at its own rate on C-4.
XmInstrument blank_instrument(const char* name, int volume)
{
    XmInstrument ins;
    ins.name = name;
    XmSample sample;
    sample.name = name;
    sample.volume = static_cast<uint8_t>(volume);
    sample.relative_note = 24;
    ins.samples.push_back(sample);
    return ins;
}

void set_loop(XmInstrument* ins, uint32_t start, uint32_t length)
{
    ins->samples[0].loop = XM_LOOP_FORWARD;
    ins->samples[0].loop_start = start;
    ins->samples[0].loop_length = length;
}

// Six detuned square oscillators, the classic metallic cymbal source.
double metal(int n)
{
    static const double freqs[6] = { 349.0, 517.0, 628.0, 889.0, 918.0, 1360.0 };
    double t = n / RATE;
    double sum = 0.0;
    for (double f : freqs)
        sum += std::sin(2.0 * PI * f * t) >= 0.0 ? 1.0 : -1.0;
    return sum / 6.0;
}

// Band-limited sawtooth over one period of `period` frames, harmonics up to max_hz.
std::vector<double> saw_table(int period, double max_hz)
{
    std::vector<double> table(period, 0.0);
    double fundamental = RATE / period;
    for (int h = 1; h * fundamental < max_hz && h < period / 2; h++)
        for (int n = 0; n < period; n++)
            table[n] += std::sin(2.0 * PI * static_cast<double>((static_cast<int64_t>(h) * n) % period) / period) / h;
    return table;
}

XmInstrument make_kick()
{
    XmInstrument ins = blank_instrument("kick", 38);
    SongNoise noise = { 0x1234567u };
    int count = frames_for(0.40);
    std::vector<double> s(count);
    double phase = 0.0, click = 0.0;
    for (int n = 0; n < count; n++) {
        double t = n / RATE;
        double f = 50.0 + 120.0 * std::exp(-t / 0.030);
        phase += 2.0 * PI * f / RATE;
        click += 0.35 * (song_noise_next(&noise) - click);
        double x = std::sin(phase) * std::exp(-t / 0.170) + 0.5 * click * std::exp(-t / 0.0025);
        x = std::tanh(1.8 * x);
        if (t < 0.0008)
            x *= t / 0.0008;
        s[n] = x;
    }
    finish_one_shot(&s, 0.12);
    song_normalise(s, 0.97, &ins.samples[0].frames);
    return ins;
}

XmInstrument make_snare()
{
    XmInstrument ins = blank_instrument("snare", 64);
    SongNoise noise = { 0x2345678u };
    Biquad hp = make_biquad(1, 1200.0, 0.707), lp = make_biquad(0, 9000.0, 0.707);
    int count = frames_for(0.30);
    std::vector<double> s(count);
    for (int n = 0; n < count; n++) {
        double t = n / RATE;
        double tone = (std::sin(2.0 * PI * 185.0 * t) + 0.5 * std::sin(2.0 * PI * 330.0 * t)) * std::exp(-t / 0.045);
        double band = biquad_run(&lp, biquad_run(&hp, song_noise_next(&noise))) * std::exp(-t / 0.110);
        s[n] = std::tanh(1.3 * (0.55 * tone + 1.0 * band * 1.6));
    }
    finish_one_shot(&s, 0.10);
    song_normalise(s, 0.97, &ins.samples[0].frames);
    return ins;
}

// Cymbal family: metal plus noise through a filter chain, exponential decay.
XmInstrument make_cymbal(
    const char* name, int volume, int panning, double seconds, double tau, double hp_hz, double lp_hz, uint32_t seed)
{
    XmInstrument ins = blank_instrument(name, volume);
    ins.samples[0].panning = static_cast<uint8_t>(panning);
    SongNoise noise = { seed };
    Biquad hp1 = make_biquad(1, hp_hz, 0.707), hp2 = make_biquad(1, hp_hz, 0.707);
    Biquad lp = make_biquad(0, lp_hz, 0.707);
    int count = frames_for(seconds);
    std::vector<double> s(count);
    for (int n = 0; n < count; n++) {
        double t = n / RATE;
        double x = 0.6 * metal(n) + 0.8 * song_noise_next(&noise);
        x = biquad_run(&lp, biquad_run(&hp2, biquad_run(&hp1, x)));
        double attack = t < 0.0005 ? t / 0.0005 : 1.0;
        s[n] = x * std::exp(-t / tau) * attack;
    }
    finish_one_shot(&s, seconds * 0.3);
    song_normalise(s, 0.97, &ins.samples[0].frames);
    return ins;
}

XmInstrument make_bass()
{
    XmInstrument ins = blank_instrument("bass", 30);
    const int period = 512; // C-2
    std::vector<double> saw = saw_table(period, 15000.0);
    int count = period * 40;
    std::vector<double> s(count);
    StateVariable svf = {};
    for (int n = 0; n < count; n++) {
        double t = n / RATE;
        double cutoff = 640.0 + 3200.0 * std::exp(-t / 0.090);
        double low, band;
        svf_run(&svf, 0.6 * saw[n % period], cutoff, 2.2, &low, &band);
        double x = low + 0.3 * std::sin(2.0 * PI * (n % period) / period);
        s[n] = std::tanh(1.4 * x);
    }
    // The saturation leaves an offset that moves with the filter sweep (the saw is lopsided), and
    // bass notes are cut after a row or two: take each period's mean off, interpolated between
    // period centres, so every stretch of the sample is free of offset, the loop included.
    const int periods = count / period;
    std::vector<double> mean(periods, 0.0);
    for (int n = 0; n < count; n++)
        mean[n / period] += s[n] / period;
    for (int n = 0; n < count; n++) {
        double u = std::clamp((n - period / 2.0) / period, 0.0, periods - 1.0);
        int k = std::min(int(u), periods - 2);
        s[n] -= mean[k] + (mean[k + 1] - mean[k]) * (u - k);
    }
    song_normalise(s, 0.97, &ins.samples[0].frames);
    ins.samples[0].relative_note = 48;
    set_loop(&ins, static_cast<uint32_t>(count - 8 * period), static_cast<uint32_t>(8 * period));
    set_envelope(&ins.volume_envelope, { { 0, 64 }, { 8, 52 }, { 40, 44 } }, 2);
    ins.fadeout = 0x800;
    return ins;
}

// Sum of partials that each complete a whole number of cycles over `length` frames, so the
// sample loops without a seam; `sine` holds one cycle of length frames.
void add_partial(std::vector<double>* s, const std::vector<double>& sine, int cycles, double gain, int phase)
{
    int length = static_cast<int>(s->size());
    for (int n = 0; n < length; n++)
        (*s)[n] += gain * sine[(static_cast<int64_t>(cycles) * n + phase) % length];
}

XmInstrument make_pad()
{
    XmInstrument ins = blank_instrument("pad", 34);
    const int length = 16384;
    std::vector<double> sine(length);
    for (int n = 0; n < length; n++)
        sine[n] = std::sin(2.0 * PI * n / length);
    std::vector<double> s(length, 0.0);
    SongNoise phases = { 0x5EED1234u };
    // Three saws a few cents apart around C-4 (128 cycles) and one an octave down.
    const int cycles[4] = { 127, 128, 129, 64 };
    const double levels[4] = { 1.0, 1.0, 1.0, 0.2 };
    for (int v = 0; v < 4; v++) {
        for (int h = 1;; h++) {
            double f = cycles[v] * h * RATE / length;
            if (f > 6000.0)
                break;
            double gain = levels[v] / h / (1.0 + (f / 3000.0) * (f / 3000.0));
            int phase = static_cast<int>((song_noise_next(&phases) + 1.0) * 0.5 * length) % length;
            add_partial(&s, sine, cycles[v] * h, gain, phase);
        }
    }
    song_normalise(s, 0.97, &ins.samples[0].frames);
    set_loop(&ins, 0, length);
    set_envelope(&ins.volume_envelope, { { 0, 0 }, { 30, 64 }, { 70, 54 } }, 2);
    ins.fadeout = 0x100;
    return ins;
}

XmInstrument make_lead()
{
    XmInstrument ins = blank_instrument("lead", 44);
    const int period = 128;
    const int length = period * 256; // one full turn of the pulse-width sweep
    int harmonics = static_cast<int>(7000.0 / (RATE / period));
    std::vector<double> s(length);
    for (int n = 0; n < length; n++) {
        double phi = static_cast<double>(n % period) / period;
        double duty = 0.35 + 0.15 * std::cos(2.0 * PI * n / length);
        double pulse = 0.0, saw = 0.0;
        for (int h = 1; h <= harmonics; h++) {
            double a = std::sin(2.0 * PI * h * phi);
            saw += a / h;
            pulse += (a - std::sin(2.0 * PI * h * (phi + duty))) / h;
        }
        s[n] = pulse + 0.3 * saw;
    }
    song_normalise(s, 0.97, &ins.samples[0].frames);
    set_loop(&ins, 0, length);
    set_envelope(&ins.volume_envelope, { { 0, 64 }, { 10, 52 }, { 60, 46 } }, 2);
    ins.fadeout = 0x700; // about 0.75 s of release: long tails blur the next chord
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 0x30;
    ins.vibrato_depth = 8;
    ins.vibrato_rate = 0x1C;
    return ins;
}

XmInstrument make_arp()
{
    XmInstrument ins = blank_instrument("arp", 40);
    const int period = 128;
    const int length = 1024;
    std::vector<double> sine(period);
    for (int n = 0; n < period; n++)
        sine[n] = std::sin(2.0 * PI * n / period);
    std::vector<double> s(length, 0.0);
    int harmonics = static_cast<int>(8000.0 / (RATE / period));
    for (int n = 0; n < length; n++)
        for (int h = 1; h <= harmonics; h++) // 25 % pulse: saw minus a saw a quarter period later
            s[n] += (sine[(h * n) % period] - sine[(h * (n + period / 4)) % period]) / h;
    song_normalise(s, 0.97, &ins.samples[0].frames);
    set_loop(&ins, 0, length);
    set_envelope(&ins.volume_envelope, { { 0, 64 }, { 4, 44 }, { 20, 30 } }, 2);
    ins.fadeout = 0x800;
    // Each note swings from left to right and back over four rows: the arpeggio moves across the image.
    set_envelope(&ins.panning_envelope, { { 0, 12 }, { 12, 52 }, { 24, 12 } }, -1);
    ins.panning_envelope.flags |= XM_ENVELOPE_LOOP;
    ins.panning_envelope.loop_start_point = 0;
    ins.panning_envelope.loop_end_point = 2;
    return ins;
}

XmInstrument make_bell()
{
    XmInstrument ins = blank_instrument("bell", 36);
    const int period = 128;
    const int count = period * 260; // about one second; the modulation index has settled by the loop
    std::vector<double> s(count);
    for (int n = 0; n < count; n++) {
        double t = n / RATE;
        double phi = 2.0 * PI * (n % period) / period;
        double index = 0.4 + 3.1 * std::exp(-t / 0.080);
        s[n] = std::sin(phi + index * std::sin(3.0 * phi)) + 0.25 * std::sin(2.0 * phi);
    }
    song_normalise(s, 0.97, &ins.samples[0].frames);
    set_loop(&ins, static_cast<uint32_t>(count - 16 * period), 16 * period);
    set_envelope(&ins.volume_envelope, { { 0, 64 }, { 6, 44 }, { 50, 20 }, { 150, 0 } }, -1);
    ins.fadeout = 0x200;
    return ins;
}

// Noise swept upwards through a resonant band-pass, swelling: the build-up whoosh.
XmInstrument make_riser()
{
    XmInstrument ins = blank_instrument("riser", 30);
    SongNoise noise = { 0x0BADF00Du };
    int count = frames_for(2.0);
    std::vector<double> s(count);
    StateVariable svf = {};
    for (int n = 0; n < count; n++) {
        double u = static_cast<double>(n) / count;
        double cutoff = 300.0 * std::pow(9000.0 / 300.0, u);
        double low, band;
        svf_run(&svf, song_noise_next(&noise), cutoff, 3.0, &low, &band);
        double swell = u * u;
        s[n] = band * swell;
    }
    finish_one_shot(&s, 0.25);
    song_normalise(s, 0.97, &ins.samples[0].frames);
    return ins;
}

} // namespace

double song_noise_next(SongNoise* noise)
{
    uint32_t x = noise->state ? noise->state : 0x9E3779B9u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise->state = x;
    return static_cast<double>(x) / 2147483648.0 - 1.0;
}

void song_normalise(const std::vector<double>& signal, double peak, std::vector<int16_t>* frames)
{
    double largest = 0.0;
    for (double v : signal)
        largest = std::max(largest, std::fabs(v));
    double scale = largest > 0.0 ? peak * 32767.0 / largest : 0.0;
    frames->resize(signal.size());
    for (size_t i = 0; i < signal.size(); i++)
        (*frames)[i] = static_cast<int16_t>(std::lround(signal[i] * scale));
}

void make_song_instruments(std::vector<XmInstrument>* out)
{
    out->clear();
    out->push_back(make_kick());
    out->push_back(make_snare());
    // Hats sit right of centre, the open hat left, the crash a little left: cymbals spread the image.
    out->push_back(make_cymbal("closed hat", 64, 0xC8, 0.12, 0.028, 6000.0, 15000.0, 0x3456789u));
    out->push_back(make_cymbal("open hat", 52, 0x38, 0.45, 0.130, 6000.0, 15000.0, 0x456789Au));
    out->push_back(make_cymbal("crash", 36, 0x68, 1.8, 0.550, 3500.0, 12000.0, 0x56789ABu));
    out->push_back(make_bass());
    out->push_back(make_pad());
    out->push_back(make_lead());
    out->push_back(make_arp());
    out->push_back(make_bell());
    out->push_back(make_riser());
}
