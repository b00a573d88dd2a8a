// sound_internal.h -- pieces of the sound layer shared between its files and its tests.
#pragma once

#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Rows are detected after each rendered slice, so a row start is reported at most this many
// frames late (1.3 ms at 48 kHz, far inside one 32 ms tick).
constexpr int SOUND_SYNC_SLICE = 64;
// Device buffer: small, so a sync is reported less than one tick before it is heard.
constexpr int SOUND_DEVICE_BUFFER_FRAMES = 1024;
// With SDL's dummy driver the song is paced by the clock at each callback; a 10 ms buffer keeps a
// sync within about 10 ms of its time.
constexpr int SOUND_DUMMY_BUFFER_FRAMES = 480;
// Largest song file read; with the player's own copy a song then costs at most a few times this.
constexpr uint64_t SOUND_MAX_MODULE_BYTES = uint64_t(16) << 20;

// XM header bounds checked before the player sees a file: FastTracker 2's own limits, and a
// header for each pattern and instrument that the file must have room for.
constexpr size_t XM_FIXED_HEADER_BYTES = 80;
constexpr uint32_t XM_MAX_CHANNELS = 64;
constexpr uint32_t XM_MAX_PATTERNS = 256;
constexpr uint32_t XM_MAX_INSTRUMENTS = 128;
constexpr uint64_t XM_PATTERN_HEADER_BYTES = 9;
constexpr uint64_t XM_INSTRUMENT_HEADER_BYTES = 29;
// Null when the bytes are not an XM file or its header fits them; else the reason.
const char* sound_check_xm_header(const uint8_t* data, size_t size);

// Sync values (parameters of effect W) per pattern row, in channel order.
struct SoundSyncTable {
    std::vector<uint32_t> pattern_first_row; // pattern p's rows are [first[p], first[p + 1])
    std::vector<uint32_t> row_first_value; // row r's values are values[first[r] .. first[r + 1])
    std::vector<uint8_t> values;
};

bool sound_build_sync_table(openmpt_module* mod, SoundSyncTable* table);
// Number of sync values on (pattern, row); *values points at them. 0 outside the song.
int sound_sync_lookup(const SoundSyncTable* table, int pattern, int row, const uint8_t** values);

// Set-up dialog pieces. Each returns the chosen index into names (names.size() = the default
// output when names is empty), -1 when cancelled, or SOUND_CONFIG_NO_DIALOG when it cannot be shown.
constexpr int SOUND_CONFIG_NO_DIALOG = -2;
int sound_config_message_box(const std::vector<std::string>& names);
// Numbered list on out, choice read from in: an empty line, end of input or "0" cancels.
int sound_config_text(FILE* in, FILE* out, const std::vector<std::string>& names);
