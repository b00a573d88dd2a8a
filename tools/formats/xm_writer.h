// xm_writer.h -- build an XM (FastTracker 2) module in memory and write it to a file.
//
// The song is a plain record: fill in instruments, patterns and the order list, then call
// xm_encode or xm_write_file. The header is written so that players recognise the file as made
// by FastTracker 2 (its playback quirks and mix levels then apply).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int XM_MAX_CHANNELS = 32;
constexpr int XM_MAX_ROWS = 256;
constexpr int XM_MAX_PATTERNS = 256;
constexpr int XM_MAX_ORDERS = 256;
constexpr int XM_MAX_INSTRUMENTS = 128;
constexpr int XM_MAX_SAMPLES = 16; // per instrument
constexpr int XM_MAX_ENVELOPE_POINTS = 12;

// Notes: 1 = C-0, 49 = C-4, 96 = B-7; 97 releases the note (key-off).
constexpr uint8_t XM_NOTE_C4 = 49;
constexpr uint8_t XM_NOTE_OFF = 97;

// Effect numbers (the letter effects count on from A = 10).
enum XmEffect : uint8_t {
    XM_FX_ARPEGGIO = 0x00,
    XM_FX_PORTA_UP = 0x01,
    XM_FX_PORTA_DOWN = 0x02,
    XM_FX_TONE_PORTA = 0x03,
    XM_FX_VIBRATO = 0x04,
    XM_FX_VOLUME_SLIDE = 0x0A,
    XM_FX_POSITION_JUMP = 0x0B,
    XM_FX_SET_VOLUME = 0x0C,
    XM_FX_PATTERN_BREAK = 0x0D,
    XM_FX_EXTENDED = 0x0E,
    XM_FX_SET_SPEED = 0x0F, // parameter < 0x20: ticks per row; otherwise BPM
    XM_FX_GLOBAL_VOLUME = 0x10,
    XM_FX_SET_PANNING = 0x08,
    XM_FX_SYNC = 0x20, // 'W': no audible effect, read by the demo as a sync command
};

// Envelope flag bits (the XM "type" byte).
constexpr uint8_t XM_ENVELOPE_ON = 1;
constexpr uint8_t XM_ENVELOPE_SUSTAIN = 2;
constexpr uint8_t XM_ENVELOPE_LOOP = 4;

// Sample loop kinds.
enum XmLoop : uint8_t { XM_LOOP_NONE = 0, XM_LOOP_FORWARD = 1, XM_LOOP_PINGPONG = 2 };

struct XmEnvelope {
    int point_count = 0; // 0..12
    uint16_t tick[XM_MAX_ENVELOPE_POINTS]; // x in ticks, rising
    uint16_t value[XM_MAX_ENVELOPE_POINTS]; // 0..64
    uint8_t sustain_point = 0;
    uint8_t loop_start_point = 0;
    uint8_t loop_end_point = 0;
    uint8_t flags = 0; // XM_ENVELOPE_*
};

struct XmSample {
    std::string name;
    std::vector<int16_t> frames; // signed PCM; written as 16-bit unless eight_bit is set
    bool eight_bit = false; // write the high byte of each frame only
    XmLoop loop = XM_LOOP_NONE;
    uint32_t loop_start = 0; // in frames
    uint32_t loop_length = 0; // in frames
    uint8_t volume = 64; // 0..64
    int8_t finetune = 0; // 1/128 semitone
    uint8_t panning = 128; // 0 left .. 255 right
    int8_t relative_note = 0; // semitones added to the played note
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples; // 0..16
    uint8_t keymap[96] = {}; // sample index per note (1 = C-0 at index 0)
    XmEnvelope volume_envelope;
    XmEnvelope panning_envelope;
    uint8_t vibrato_type = 0;
    uint8_t vibrato_sweep = 0;
    uint8_t vibrato_depth = 0;
    uint8_t vibrato_rate = 0;
    uint16_t fadeout = 0; // 0..0xFFF, subtracted from 65536 per tick after key-off
};

struct XmCell {
    uint8_t note = 0; // 0 none, 1..96, 97 key-off
    uint8_t instrument = 0; // 0 none, 1..128
    uint8_t volume = 0; // volume column byte: 0 none, 0x10..0x50 set volume 0..64, ...
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64; // 1..256
    std::vector<XmCell> cells; // rows * channel count, row-major
};

struct XmSong {
    std::string name;
    int channel_count = 4; // 1..32
    int default_speed = 6; // ticks per row
    int default_bpm = 125;
    int restart_position = 0;
    bool linear_frequencies = true;
    std::vector<uint8_t> orders; // pattern index per song position
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Start an empty song with the given channel count.
void xm_init_song(XmSong* song, const char* name, int channel_count);
// Append an empty pattern of the given length; returns its index (-1 when rows is out of range).
int xm_add_pattern(XmSong* song, int rows);
// The cell at (pattern, row, channel), or null when outside the song.
XmCell* xm_cell(XmSong* song, int pattern, int row, int channel);
// Set an effect in a cell, keeping its note, instrument and volume.
bool xm_set_effect(XmSong* song, int pattern, int row, int channel, uint8_t effect, uint8_t param);
// Set a note with instrument (1-based) and volume column (0 = none).
bool xm_set_note(
    XmSong* song, int pattern, int row, int channel, uint8_t note, uint8_t instrument, uint8_t volume_column);
// Append an instrument with one sample mapped over every note; returns its 1-based number.
int xm_add_instrument(XmSong* song, const char* name, const XmSample* sample);
// Add an envelope point; false when full or its tick does not rise.
bool xm_envelope_add(XmEnvelope* envelope, uint16_t tick, uint16_t value);

// Relative note and finetune that make a sample recorded at sample_rate play at its true pitch
// when note base_note is played (finetune rounded to a multiple of 8, as FT2 uses it).
void xm_tune_sample(XmSample* sample, double sample_rate, int base_note);

// Encode the song. Returns false (and leaves out empty) when a count or size is out of range.
bool xm_encode(const XmSong* song, std::vector<uint8_t>* out);
bool xm_write_file(const XmSong* song, const std::string& path);
