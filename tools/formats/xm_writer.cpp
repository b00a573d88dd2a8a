// xm_writer.cpp -- XM module encoder: header, packed patterns, instruments with delta-coded samples.
#include "tools/formats/xm_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void put_u8(std::vector<uint8_t>* out, uint8_t v)
{
    out->push_back(v);
}

void put_u16(std::vector<uint8_t>* out, uint16_t v)
{
    out->push_back(uint8_t(v & 0xFF));
    out->push_back(uint8_t(v >> 8));
}

void put_u32(std::vector<uint8_t>* out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(uint8_t(v >> (8 * i)));
}

// Fixed-size text field, cut or padded with the given byte.
void put_text(std::vector<uint8_t>* out, const std::string& text, size_t size, uint8_t pad)
{
    for (size_t i = 0; i < size; ++i)
        out->push_back(i < text.size() ? uint8_t(text[i]) : pad);
}

void put_envelope_points(std::vector<uint8_t>* out, const XmEnvelope* envelope)
{
    for (int i = 0; i < XM_MAX_ENVELOPE_POINTS; ++i) {
        bool used = i < envelope->point_count;
        put_u16(out, used ? envelope->tick[i] : 0);
        put_u16(out, used ? envelope->value[i] : 0);
    }
}

bool envelope_valid(const XmEnvelope* envelope)
{
    int n = envelope->point_count;
    if (n < 0 || n > XM_MAX_ENVELOPE_POINTS)
        return false;
    for (int i = 0; i < n; ++i) {
        if (envelope->value[i] > 64 || (i > 0 && envelope->tick[i] <= envelope->tick[i - 1]))
            return false;
    }
    if (envelope->flags & XM_ENVELOPE_ON && n == 0)
        return false;
    if (n > 0 && (envelope->sustain_point >= n || envelope->loop_start_point >= n || envelope->loop_end_point >= n))
        return false;
    return envelope->loop_start_point <= envelope->loop_end_point;
}

bool sample_valid(const XmSample* sample)
{
    uint64_t frames = sample->frames.size();
    if (frames > (uint64_t(1) << 30) || sample->volume > 64)
        return false;
    if (sample->loop != XM_LOOP_NONE) {
        if (sample->loop_length == 0 || uint64_t(sample->loop_start) + sample->loop_length > frames)
            return false;
    }
    return true;
}

bool song_valid(const XmSong* song)
{
    if (song->channel_count < 1 || song->channel_count > XM_MAX_CHANNELS)
        return false;
    if (song->orders.empty() || song->orders.size() > XM_MAX_ORDERS)
        return false;
    if (song->patterns.empty() || song->patterns.size() > XM_MAX_PATTERNS)
        return false;
    if (song->instruments.size() > XM_MAX_INSTRUMENTS)
        return false;
    if (song->default_speed < 1 || song->default_speed > 31 || song->default_bpm < 32 || song->default_bpm > 255)
        return false;
    if (song->restart_position < 0 || size_t(song->restart_position) >= song->orders.size())
        return false;
    for (uint8_t order : song->orders) {
        if (order >= song->patterns.size())
            return false;
    }
    for (const XmPattern& pattern : song->patterns) {
        if (pattern.rows < 1 || pattern.rows > XM_MAX_ROWS)
            return false;
        if (pattern.cells.size() != size_t(pattern.rows) * size_t(song->channel_count))
            return false;
        for (const XmCell& cell : pattern.cells) {
            if (cell.note > XM_NOTE_OFF || cell.instrument > song->instruments.size() || cell.effect > 0x23)
                return false;
        }
    }
    for (const XmInstrument& instrument : song->instruments) {
        if (instrument.samples.size() > XM_MAX_SAMPLES || instrument.fadeout > 0xFFF)
            return false;
        if (!envelope_valid(&instrument.volume_envelope) || !envelope_valid(&instrument.panning_envelope))
            return false;
        for (uint8_t index : instrument.keymap) {
            if (!instrument.samples.empty() && index >= instrument.samples.size())
                return false;
        }
        for (const XmSample& sample : instrument.samples) {
            if (!sample_valid(&sample))
                return false;
        }
    }
    return true;
}

// Packed pattern data: a mask byte naming the fields present, or a full five-byte cell.
void put_packed_cell(std::vector<uint8_t>* out, const XmCell* cell)
{
    if (cell->note && cell->instrument && cell->volume && cell->effect && cell->param) {
        put_u8(out, cell->note);
        put_u8(out, cell->instrument);
        put_u8(out, cell->volume);
        put_u8(out, cell->effect);
        put_u8(out, cell->param);
        return;
    }
    uint8_t mask = 0x80;
    mask |= cell->note ? 0x01 : 0;
    mask |= cell->instrument ? 0x02 : 0;
    mask |= cell->volume ? 0x04 : 0;
    mask |= cell->effect ? 0x08 : 0;
    mask |= cell->param ? 0x10 : 0;
    put_u8(out, mask);
    if (cell->note)
        put_u8(out, cell->note);
    if (cell->instrument)
        put_u8(out, cell->instrument);
    if (cell->volume)
        put_u8(out, cell->volume);
    if (cell->effect)
        put_u8(out, cell->effect);
    if (cell->param)
        put_u8(out, cell->param);
}

void put_pattern(std::vector<uint8_t>* out, const XmPattern* pattern, int channel_count)
{
    std::vector<uint8_t> packed;
    for (int i = 0; i < pattern->rows * channel_count; ++i)
        put_packed_cell(&packed, &pattern->cells[size_t(i)]);
    put_u32(out, 9);
    put_u8(out, 0);
    put_u16(out, uint16_t(pattern->rows));
    put_u16(out, uint16_t(packed.size())); // at most 256 * 32 * 5 bytes
    out->insert(out->end(), packed.begin(), packed.end());
}

void put_sample_header(std::vector<uint8_t>* out, const XmSample* sample)
{
    uint32_t bytes_per_frame = sample->eight_bit ? 1 : 2;
    bool looped = sample->loop != XM_LOOP_NONE;
    put_u32(out, uint32_t(sample->frames.size()) * bytes_per_frame);
    put_u32(out, looped ? sample->loop_start * bytes_per_frame : 0);
    put_u32(out, looped ? sample->loop_length * bytes_per_frame : 0);
    put_u8(out, sample->volume);
    put_u8(out, uint8_t(sample->finetune));
    put_u8(out, uint8_t(uint8_t(sample->loop) | (sample->eight_bit ? 0 : 0x10)));
    put_u8(out, sample->panning);
    put_u8(out, uint8_t(sample->relative_note));
    put_u8(out, 0);
    put_text(out, sample->name, 22, 0);
}

// Sample data is stored as differences between consecutive frames (wrapping), little-endian.
void put_sample_data(std::vector<uint8_t>* out, const XmSample* sample)
{
    if (sample->eight_bit) {
        uint8_t previous = 0;
        for (int16_t frame : sample->frames) {
            uint8_t value = uint8_t(uint16_t(frame) >> 8);
            put_u8(out, uint8_t(value - previous));
            previous = value;
        }
        return;
    }
    uint16_t previous = 0;
    for (int16_t frame : sample->frames) {
        put_u16(out, uint16_t(uint16_t(frame) - previous));
        previous = uint16_t(frame);
    }
}

void put_instrument(std::vector<uint8_t>* out, const XmInstrument* instrument)
{
    if (instrument->samples.empty()) {
        // An empty instrument is the 33-byte short header; a 29-byte one makes players guess
        // another tracker wrote the file.
        put_u32(out, 33);
        put_text(out, instrument->name, 22, 0);
        put_u8(out, 0);
        put_u16(out, 0);
        put_u32(out, 40);
        return;
    }
    const XmEnvelope* vol = &instrument->volume_envelope;
    const XmEnvelope* pan = &instrument->panning_envelope;
    put_u32(out, 263);
    put_text(out, instrument->name, 22, 0);
    put_u8(out, 0);
    put_u16(out, uint16_t(instrument->samples.size()));
    put_u32(out, 40);
    for (uint8_t index : instrument->keymap)
        put_u8(out, index);
    put_envelope_points(out, vol);
    put_envelope_points(out, pan);
    put_u8(out, uint8_t(vol->point_count));
    put_u8(out, uint8_t(pan->point_count));
    put_u8(out, vol->sustain_point);
    put_u8(out, vol->loop_start_point);
    put_u8(out, vol->loop_end_point);
    put_u8(out, pan->sustain_point);
    put_u8(out, pan->loop_start_point);
    put_u8(out, pan->loop_end_point);
    put_u8(out, vol->flags);
    put_u8(out, pan->flags);
    put_u8(out, instrument->vibrato_type);
    put_u8(out, instrument->vibrato_sweep);
    put_u8(out, instrument->vibrato_depth);
    put_u8(out, instrument->vibrato_rate);
    put_u16(out, instrument->fadeout);
    for (int i = 0; i < 22; ++i)
        put_u8(out, 0);
    for (const XmSample& sample : instrument->samples)
        put_sample_header(out, &sample);
    for (const XmSample& sample : instrument->samples)
        put_sample_data(out, &sample);
}

} // namespace

void xm_init_song(XmSong* song, const char* name, int channel_count)
{
    *song = XmSong {};
    song->name = name ? name : "";
    song->channel_count = channel_count;
}

int xm_add_pattern(XmSong* song, int rows)
{
    if (rows < 1 || rows > XM_MAX_ROWS || song->channel_count < 1 || song->patterns.size() >= XM_MAX_PATTERNS)
        return -1;
    XmPattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(size_t(rows) * size_t(song->channel_count), XmCell {});
    song->patterns.push_back(std::move(pattern));
    return int(song->patterns.size()) - 1;
}

XmCell* xm_cell(XmSong* song, int pattern, int row, int channel)
{
    if (pattern < 0 || size_t(pattern) >= song->patterns.size() || channel < 0 || channel >= song->channel_count)
        return nullptr;
    XmPattern* p = &song->patterns[size_t(pattern)];
    if (row < 0 || row >= p->rows || p->cells.size() != size_t(p->rows) * size_t(song->channel_count))
        return nullptr;
    return &p->cells[size_t(row) * size_t(song->channel_count) + size_t(channel)];
}

bool xm_set_effect(XmSong* song, int pattern, int row, int channel, uint8_t effect, uint8_t param)
{
    XmCell* cell = xm_cell(song, pattern, row, channel);
    if (!cell)
        return false;
    cell->effect = effect;
    cell->param = param;
    return true;
}

bool xm_set_note(
    XmSong* song, int pattern, int row, int channel, uint8_t note, uint8_t instrument, uint8_t volume_column)
{
    XmCell* cell = xm_cell(song, pattern, row, channel);
    if (!cell)
        return false;
    cell->note = note;
    cell->instrument = instrument;
    cell->volume = volume_column;
    return true;
}

int xm_add_instrument(XmSong* song, const char* name, const XmSample* sample)
{
    if (song->instruments.size() >= XM_MAX_INSTRUMENTS)
        return 0;
    XmInstrument instrument;
    instrument.name = name ? name : "";
    if (sample)
        instrument.samples.push_back(*sample);
    song->instruments.push_back(std::move(instrument));
    return int(song->instruments.size());
}

bool xm_envelope_add(XmEnvelope* envelope, uint16_t tick, uint16_t value)
{
    int n = envelope->point_count;
    if (n >= XM_MAX_ENVELOPE_POINTS || value > 64 || (n > 0 && tick <= envelope->tick[n - 1]))
        return false;
    envelope->tick[n] = tick;
    envelope->value[n] = value;
    envelope->point_count = n + 1;
    return true;
}

void xm_tune_sample(XmSample* sample, double sample_rate, int base_note)
{
    // C-4 with relative note 0 and finetune 0 plays at 8363 Hz; FT2 uses finetune in steps of 8.
    double semitones = 12.0 * std::log2(sample_rate / 8363.0) - double(base_note - XM_NOTE_C4);
    double sixteenths = std::floor(semitones * 16.0 + 0.5);
    double relative = std::floor(semitones + 0.5);
    sample->relative_note = int8_t(relative);
    sample->finetune = int8_t((sixteenths - relative * 16.0) * 8.0);
}

bool xm_encode(const XmSong* song, std::vector<uint8_t>* out)
{
    out->clear();
    if (!song_valid(song))
        return false;
    // The song name is padded with spaces and the tracker name names FT2: players pick their
    // playback quirks from these fields.
    put_text(out, "Extended Module: ", 17, ' ');
    put_text(out, song->name, 20, ' ');
    put_u8(out, 0x1A);
    put_text(out, "FastTracker v2.00", 20, ' ');
    put_u16(out, 0x0104);
    put_u32(out, 276);
    put_u16(out, uint16_t(song->orders.size()));
    put_u16(out, uint16_t(song->restart_position));
    put_u16(out, uint16_t(song->channel_count));
    put_u16(out, uint16_t(song->patterns.size()));
    put_u16(out, uint16_t(song->instruments.size()));
    put_u16(out, song->linear_frequencies ? 1 : 0);
    put_u16(out, uint16_t(song->default_speed));
    put_u16(out, uint16_t(song->default_bpm));
    for (int i = 0; i < XM_MAX_ORDERS; ++i)
        put_u8(out, size_t(i) < song->orders.size() ? song->orders[size_t(i)] : 0);
    for (const XmPattern& pattern : song->patterns)
        put_pattern(out, &pattern, song->channel_count);
    for (const XmInstrument& instrument : song->instruments)
        put_instrument(out, &instrument);
    return true;
}

bool xm_write_file(const XmSong* song, const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (!xm_encode(song, &bytes))
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}
