// song_map.h -- the song's sync commands read from its pattern data: what is in force at any row.
//
// A place in the song is a place in the demo: the scene in force at (position, row) is the last
// scene number (0-16) sent at or before that row, and the cues sent since then are what the scene
// has seen. Starting or jumping there re-enters that scene and hands it those cues.
#pragma once

#include <cstdint>
#include <vector>

struct SoundModule;

// One row that carries sync commands: the value that survives on it (the last in channel order).
struct SongSync {
    int position;
    int row;
    uint32_t value;
};

struct SongMap {
    std::vector<int> rows; // rows per order position
    std::vector<SongSync> syncs; // in play order
};

// What a start at a place in the song has to set.
struct SongPlace {
    int position, row; // the place itself
    uint32_t scene; // the scene in force (0 before any scene number)
    // Where the scene's function was entered: the first of the scene numbers sent since then
    // that share one function (3 then 4 run on in the one wall scene), and its row.
    uint32_t entry_scene;
    int scene_position, scene_row;
    int sync_position, sync_row; // the last sync at or before the place (0, 0 if none)
    uint32_t last_value; // its value (the scene number before any sync)
    // The entry number, then the distinct values the scene has seen since, in order (repeats of
    // the previous value dropped); the last one is what the scene number holds at the place.
    std::vector<uint32_t> cues;
    std::vector<SongSync> cue_places; // where each of them was sent
};

// Reads every order position's rows and sync values. False for a song without positions.
bool build_song_map(SoundModule* module, SongMap* map);

// The song's places are written P or P:R (R defaults to 0). False when malformed.
bool parse_song_place(const char* text, int* position, int* row);
// True when (position, row) lies inside the song.
bool song_place_valid(const SongMap* map, int position, int row);

void song_place_at(const SongMap* map, int position, int row, SongPlace* place);

// The rows where the scene in force changes to another, in play order; a scene in force for
// only a row or two (a short wait between two runs of one scene) does not count.
std::vector<SongSync> song_scene_changes(const SongMap* map);

// Rows where the scene in force changes (a scene number other than the one in force).
// next: the first such row after (position, row); previous: the change before the one that
// started the scene in force at (position, row). False when there is none.
bool song_next_scene_change(const SongMap* map, int position, int row, int* out_position, int* out_row);
bool song_previous_scene_change(const SongMap* map, int position, int row, int* out_position, int* out_row);
