// song_sync.h -- the soundtrack's sync map: pattern lengths per order position and every sync command.
#pragma once

#include <cstdint>

// One order position: its pattern's row count and the scene that plays while it sounds.
struct SongPosition {
    uint8_t rows;
    uint8_t scene;
};

// A sync command: effect W with parameter `value` on the sync channel at (position, row).
// Values 0-16 select a scene; 240 and above are cues for the running scene.
// `row_sync` marks the opening's per-row syncs: they only report the row to the scene, so the
// music does not accent them.
struct SongSync {
    uint8_t position;
    uint8_t row;
    uint8_t value;
    bool row_sync = false;
};

constexpr int SONG_POSITION_COUNT = 60;
extern const SongPosition song_positions[SONG_POSITION_COUNT];

// The opening (positions 0 to SONG_ROW_SYNC_POSITIONS - 1) reads its ring count and smear from the
// row of the last sync, so every row there carries one. Where no scene start or event sits on a
// row, the value is a cue that no scene reacts to.
constexpr int SONG_ROW_SYNC_POSITIONS = 8;
constexpr uint8_t SONG_ROW_SYNC_VALUE = 250;

// Every sync command of the song in play order: scene starts, cues and row syncs.
extern const SongSync* const song_syncs;
extern const int song_sync_count;

// Returns the sync value at (position, row), or -1 when that row carries none.
int song_sync_at(int position, int row);

// Total rows of the whole song.
int song_total_rows();
