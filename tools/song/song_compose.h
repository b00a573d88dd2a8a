// song_compose.h -- composes the soundtrack: sections, chords, drums, bass, pad, melodies and syncs.
#pragma once

#include <cstdint>

#include "tools/formats/xm_writer.h"

// Channel layout: thirteen music channels and one channel that carries only sync commands.
enum SongChannel {
    SONG_CH_KICK = 0, // kick, and toms in fills
    SONG_CH_SNARE,
    SONG_CH_HATS, // closed and open hats choke each other
    SONG_CH_FX, // crash, riser, global volume per position
    SONG_CH_BASS,
    SONG_CH_PAD1,
    SONG_CH_PAD2,
    SONG_CH_PAD3,
    SONG_CH_LEAD,
    SONG_CH_ECHO, // the lead's echo, or a bell line where no lead plays
    SONG_CH_ARP,
    SONG_CH_COUNTER, // the climax's counter-melody
    SONG_CH_PERC, // shaker and claps; its effect column carries the opening's speed changes
    SONG_CH_SYNC,
    SONG_CHANNEL_COUNT,
};

// A chord: root pitch class (0 = C) and quality.
struct SongChord {
    uint8_t root;
    bool minor;
};

constexpr int SONG_ROWS_PER_BAR = 16;

// The chord sounding at (position, row) as composed: what the harmony of that bar should be heard as.
SongChord song_chord_at(int position, int row);
// Seconds from the song's start to the start of (position, row). Rows last 0.12 s, except around the
// opening's re-entries, where the pattern's last row is squeezed to two ticks (see song_compose.cpp).
// Position SONG_POSITION_COUNT, row 0 is the song's end.
double song_row_time(int position, int row);
// True when the position carries harmony (pad or bass), so its chords can be checked by ear or by test.
bool song_position_has_harmony(int position);

// A section of the arrangement: consecutive order positions [first, end) that share a style.
// `full` marks the sections with the whole band (full drums), where the mix is measured.
struct SongSection {
    int first;
    int end;
    const char* name;
    bool full;
};
int song_section_count();
SongSection song_section(int index);

// Composes the whole song into `song` (instruments, one pattern per order position, order list).
// Deterministic: the same build always gives the same song.
void compose_song(XmSong* song);
