// song_compose.cpp -- the soundtrack's arrangement: one style per order position, generated patterns.
#include "tools/song/song_compose.h"

#include <algorithm>
#include <vector>

#include "tools/song/song_sync.h"
#include "tools/song/song_synth.h"

namespace {

enum Progression { P_INTRO, P_MAIN, P_BREAK, P_ROAD, P_SOFT, P_LONG, P_OUTRO, P_MAJOR, P_COUNT };
enum Drums { D_NONE, D_BUILD, D_FULL, D_HALF, D_SPARSE, D_BREAK };
enum Bass { B_NONE, B_WHOLE, B_EIGHTHS, B_GROOVE, B_HIGH_WHOLE };
// Endings of a position's last bar: a tom fill, a snare roll, a riser, or a stop (drums and bass
// rest on the last beat).
enum Ending { E_NONE = 0, E_FILL = 1, E_ROLL = 2, E_RISER = 4, E_STOP = 8 };

constexpr SongChord AM = { 9, true }, F = { 5, false }, C = { 0, false }, G = { 7, false }, DM = { 2, true },
                    E = { 4, false }, EM = { 4, true };

struct ProgressionDef {
    int length;
    SongChord chords[12];
};

// The song is in A minor; the breakdown's E major leads back to Am; the landscape's middle turns to
// the relative major, C, and its G falls back to Am.
const ProgressionDef progressions[P_COUNT] = {
    { 8, { AM, AM, F, F, C, C, G, G } },
    { 4, { AM, F, C, G } },
    { 8, { DM, AM, F, G, DM, AM, F, E } },
    { 4, { AM, G, F, E } },
    { 4, { F, G, EM, AM } },
    { 6, { AM, F, C, G, DM, E } },
    { 12, { AM, F, DM, E, F, G, AM, AM, AM, AM, AM, AM } },
    { 8, { C, EM, F, G, C, EM, DM, G } },
};

// How one order position is arranged. Positions sharing a section number count bars and play
// their melody continuously across pattern boundaries.
struct PositionStyle {
    uint8_t section;
    uint8_t progression;
    uint8_t drums;
    uint8_t bass;
    uint8_t pad; // pad volume, 0 = off
    uint8_t lead; // melody theme 1-3, 0 = none
    uint8_t arp; // arpeggio volume, 0 = off
    uint8_t bell; // bell volume on the echo channel (where no lead plays), 0 = off
    uint8_t ending; // Ending bits for the last bar
    uint8_t cut; // drums and arpeggio stop from this row on, the bass holds whole notes an octave up (0 = no cut)
    uint8_t level; // global volume 0-64 for the position: the section-by-section loudness curve
    uint8_t perc; // shaker and clap volume, 0 = off
    uint8_t climax; // 1: counter-melody, and the lead doubled an octave up on the echo channel
};

// clang-format off
const PositionStyle styles[SONG_POSITION_COUNT] = {
    // intro: pad alone, then bell and bass; rings from position 2
    {0, P_INTRO, D_NONE, B_NONE, 28, 0, 0, 0, E_NONE, 0, 64, 0, 0},
    {0, P_INTRO, D_NONE, B_NONE, 30, 0, 0, 20, E_NONE, 0, 64, 0, 0},
    {0, P_INTRO, D_NONE, B_WHOLE, 32, 0, 0, 24, E_NONE, 0, 64, 0, 0},
    {0, P_INTRO, D_NONE, B_WHOLE, 32, 0, 20, 26, E_RISER, 0, 64, 0, 0},
    // build, then the first full groove
    {1, P_MAIN, D_BUILD, B_EIGHTHS, 30, 0, 22, 0, E_NONE, 0, 52, 0, 0},
    {1, P_MAIN, D_BUILD, B_EIGHTHS, 30, 0, 24, 0, E_ROLL | E_RISER, 0, 52, 0, 0},
    {1, P_MAIN, D_FULL, B_GROOVE, 28, 0, 24, 0, E_NONE, 0, 52, 0, 0},
    {1, P_MAIN, D_FULL, B_GROOVE, 28, 0, 24, 0, E_FILL | E_RISER, 0, 52, 0, 0},
    // field lines: half time
    {2, P_SOFT, D_HALF, B_GROOVE, 30, 0, 22, 32, E_NONE, 0, 54, 0, 0},
    {2, P_SOFT, D_HALF, B_GROOVE, 30, 0, 22, 32, E_ROLL | E_RISER, 0, 54, 0, 0},
    // credits wall: the main theme; the closing (cue 4) from position 15
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_NONE, 0, 47, 0, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_FILL, 0, 47, 0, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 2, 22, 0, E_NONE, 0, 47, 0, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 2, 22, 0, E_STOP, 0, 47, 0, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_FILL, 0, 47, 0, 0},
    {3, P_MAIN, D_BUILD, B_EIGHTHS, 28, 0, 24, 32, E_ROLL | E_RISER, 0, 47, 0, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_NONE, 0, 47, 14, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 2, 22, 0, E_FILL | E_RISER, 0, 47, 14, 0},
    {3, P_MAIN, D_FULL, B_GROOVE, 26, 1, 24, 0, E_FILL, 0, 47, 14, 0},
    // road
    {4, P_ROAD, D_FULL, B_GROOVE, 24, 0, 24, 0, E_NONE, 0, 48, 0, 0},
    {4, P_ROAD, D_FULL, B_GROOVE, 24, 3, 22, 0, E_NONE, 0, 48, 0, 0},
    {4, P_ROAD, D_FULL, B_GROOVE, 24, 3, 22, 0, E_FILL, 0, 48, 0, 0},
    {4, P_ROAD, D_FULL, B_GROOVE, 24, 3, 22, 0, E_NONE, 0, 48, 14, 0},
    {4, P_ROAD, D_FULL, B_GROOVE, 24, 3, 22, 0, E_STOP, 0, 48, 14, 0},
    {4, P_ROAD, D_FULL, B_GROOVE, 24, 0, 24, 32, E_FILL, 0, 48, 14, 0},
    // bottle: half time, bell melody
    {5, P_SOFT, D_HALF, B_WHOLE, 30, 0, 0, 34, E_NONE, 0, 54, 0, 0},
    {5, P_SOFT, D_HALF, B_GROOVE, 30, 0, 20, 34, E_NONE, 0, 54, 0, 0},
    {5, P_SOFT, D_HALF, B_GROOVE, 30, 2, 20, 0, E_NONE, 0, 54, 0, 0},
    {5, P_SOFT, D_HALF, B_GROOVE, 30, 2, 20, 0, E_ROLL | E_RISER, 0, 54, 0, 0},
    // twin glows
    {6, P_MAIN, D_FULL, B_GROOVE, 26, 2, 22, 0, E_NONE, 0, 49, 16, 0},
    {6, P_MAIN, D_FULL, B_GROOVE, 26, 2, 22, 0, E_FILL, 0, 49, 16, 0},
    // running figure
    {7, P_ROAD, D_FULL, B_GROOVE, 24, 3, 24, 0, E_NONE, 0, 49, 16, 0},
    {7, P_ROAD, D_FULL, B_GROOVE, 24, 3, 24, 0, E_STOP, 0, 49, 16, 0},
    {7, P_ROAD, D_FULL, B_GROOVE, 24, 3, 24, 0, E_NONE, 0, 49, 18, 0},
    {7, P_ROAD, D_FULL, B_GROOVE, 24, 3, 24, 0, E_FILL, 0, 49, 18, 0},
    // globe: spacious
    {8, P_LONG, D_SPARSE, B_WHOLE, 32, 0, 22, 34, E_FILL, 0, 56, 0, 0},
    // shells: the build to the swarm
    {9, P_MAIN, D_BUILD, B_EIGHTHS, 28, 0, 24, 0, E_ROLL | E_RISER, 0, 56, 16, 0},
    // swarm: the climax, everything at once and a counter-melody over the theme
    {10, P_LONG, D_FULL, B_GROOVE, 20, 1, 14, 0, E_FILL, 0, 54, 24, 1},
    {10, P_LONG, D_FULL, B_GROOVE, 20, 1, 14, 0, E_FILL | E_RISER, 0, 54, 24, 1},
    // wait: breakdown
    {11, P_BREAK, D_BREAK, B_WHOLE, 32, 0, 0, 32, E_NONE, 0, 60, 0, 0},
    {11, P_BREAK, D_BREAK, B_WHOLE, 32, 0, 0, 32, E_ROLL | E_RISER, 0, 60, 0, 0},
    // landscape: the theme, a turn to C major, the theme again
    {12, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_NONE, 0, 48, 0, 0},
    {12, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_NONE, 0, 48, 0, 0},
    {12, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_NONE, 0, 48, 0, 0},
    {12, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_FILL, 0, 48, 0, 0},
    {16, P_MAJOR, D_FULL, B_GROOVE, 26, 2, 22, 0, E_NONE, 0, 48, 16, 0},
    {16, P_MAJOR, D_FULL, B_GROOVE, 26, 2, 22, 0, E_NONE, 0, 48, 16, 0},
    {16, P_MAJOR, D_FULL, B_GROOVE, 26, 2, 22, 0, E_NONE, 0, 48, 16, 0},
    {16, P_MAJOR, D_FULL, B_GROOVE, 26, 2, 22, 0, E_FILL, 0, 48, 16, 0},
    {17, P_MAIN, D_FULL, B_GROOVE, 26, 1, 22, 0, E_FILL, 0, 48, 0, 0},
    {17, P_MAIN, D_FULL, B_GROOVE, 28, 1, 22, 0, E_RISER, 16, 48, 0, 0},
    // picture zoom: calm
    {13, P_SOFT, D_HALF, B_WHOLE, 30, 0, 20, 34, E_NONE, 0, 58, 0, 0},
    {13, P_SOFT, D_HALF, B_GROOVE, 30, 0, 20, 34, E_NONE, 0, 58, 0, 0},
    {13, P_SOFT, D_HALF, B_GROOVE, 30, 2, 20, 0, E_NONE, 0, 58, 0, 0},
    {13, P_SOFT, D_HALF, B_GROOVE, 30, 2, 20, 0, E_NONE, 48, 58, 0, 0},
    {13, P_SOFT, D_NONE, B_NONE, 30, 0, 0, 32, E_RISER, 0, 58, 0, 0},
    // wait
    {14, P_BREAK, D_NONE, B_WHOLE, 32, 0, 0, 32, E_RISER, 0, 64, 0, 0},
    // the end: final chords, fading out
    {15, P_OUTRO, D_NONE, B_WHOLE, 32, 0, 0, 34, E_NONE, 0, 64, 0, 0},
    {15, P_OUTRO, D_NONE, B_WHOLE, 32, 0, 0, 34, E_NONE, 0, 64, 0, 0},
    {15, P_OUTRO, D_NONE, B_WHOLE, 32, 0, 0, 34, E_NONE, 0, 64, 0, 0},
};
// clang-format on

uint8_t vol(int v)
{
    return static_cast<uint8_t>(0x10 + std::clamp(v, 0, 64));
}

// Rows since the start of the section of each position.
int section_row_at(int position)
{
    int row = 0;
    for (int p = 0; p < position; p++)
        row = styles[p].section == styles[position].section ? row + song_positions[p].rows : 0;
    return row;
}

bool chord_has(SongChord chord, int pitch_class)
{
    int d = ((pitch_class - chord.root) % 12 + 12) % 12;
    return d == 0 || d == 7 || d == (chord.minor ? 3 : 4);
}

SongChord chord_of(int position, int row)
{
    const ProgressionDef& prog = progressions[styles[position].progression];
    int bar = (section_row_at(position) + row) / SONG_ROWS_PER_BAR;
    return prog.chords[bar % prog.length];
}

// Pitch class of an XM note (note 1 is C-0).
int pitch_class(int note)
{
    return (note - 1) % 12;
}

// A minor scale steps: step 7 is A-4 (note 58).
int step_note(int step)
{
    static const int scale[7] = { 0, 2, 3, 5, 7, 8, 10 };
    return 46 + 12 * (step / 7) + scale[step % 7];
}

int snap_to_chord(int step, SongChord chord, int low, int high)
{
    static const int tries[5] = { 0, -1, 1, -2, 2 };
    for (int d : tries) {
        int s = std::clamp(step + d, low, high);
        if (chord_has(chord, pitch_class(step_note(s))))
            return s;
    }
    return step;
}

uint32_t next_random(uint32_t* state)
{
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

// A melody over a chord sequence: row-indexed notes (0 none, XM_NOTE_OFF releases) and the rows
// where a long note is held (vibrato goes there).
struct Theme {
    std::vector<uint8_t> notes;
    std::vector<uint8_t> held;
};

// Two-bar rhythms of ten notes each, the last note long.
const int rhythms[3][10] = {
    { 3, 3, 2, 4, 2, 2, 3, 3, 2, 8 },
    { 2, 2, 4, 2, 2, 4, 4, 2, 2, 8 },
    { 4, 2, 2, 3, 3, 2, 2, 4, 2, 8 },
};

// One pass of a melody through a progression: two-bar phrases, a random walk on the scale with
// notes on strong rows snapped to chord tones; the second two bars of every four repeat the first
// two's contour (or, when `answer` is non-zero, answer them with a fresh walk from that seed); the
// last phrase ends on the final chord's third, then its root.
Theme make_theme(const ProgressionDef& prog, uint32_t seed, int rhythm_index, uint32_t answer)
{
    static const int moves[8] = { -2, -1, -1, 1, 1, 2, -1, 1 };
    const int* rhythm = rhythms[rhythm_index % 3];
    const int low = 4, high = 14;
    int bars = prog.length;
    Theme theme;
    theme.notes.assign(bars * SONG_ROWS_PER_BAR, 0);
    theme.held.assign(bars * SONG_ROWS_PER_BAR, 0);
    uint32_t random = seed;
    uint32_t answer_random = answer;
    int deltas[10] = {};
    int step = 9;
    for (int pair = 0; pair * 2 < bars; pair++) {
        bool fresh = pair % 2 == 0 || answer != 0;
        bool last = pair * 2 + 2 >= bars;
        int row = pair * 2 * SONG_ROWS_PER_BAR;
        for (int i = 0; i < 10; i++) {
            SongChord chord = prog.chords[std::min(row / SONG_ROWS_PER_BAR, bars - 1)];
            if (i > 0) {
                if (fresh)
                    deltas[i] = moves[next_random(pair % 2 == 0 ? &random : &answer_random) % 8];
                step = std::clamp(step + deltas[i], low, high);
            }
            // Notes on strong rows and every held note are chord tones; short notes may pass.
            if (row % 4 == 0 || i == 0 || rhythm[i] >= 3)
                step = snap_to_chord(step, chord, low, high);
            if (last && i >= 8) {
                int third = (chord.root + (chord.minor ? 3 : 4)) % 12;
                int target = i == 8 ? third : chord.root;
                for (int s = low; s <= high; s++)
                    if (pitch_class(step_note(s)) == target && std::abs(s - step) <= 3)
                        step = s;
            }
            int n = step_note(step);
            if (!chord.minor && (pitch_class(n) - chord.root - 4 + 12) % 12 == 11)
                n++; // a major chord's third can be sharp of the scale (E major's G#): follow the chord
            theme.notes[row] = static_cast<uint8_t>(n);
            if (rhythm[i] >= 4) {
                theme.notes[row + rhythm[i] - 1] = XM_NOTE_OFF;
                for (int r = row + 2; r < row + rhythm[i] - 1; r++)
                    theme.held[r] = 1;
            }
            row += rhythm[i];
        }
    }
    return theme;
}

// Pad voicing: the chord's three notes between G-3 and F#-4, so voicings barely move.
void pad_voicing(SongChord chord, uint8_t out[3])
{
    int pcs[3] = { chord.root, (chord.root + (chord.minor ? 3 : 4)) % 12, (chord.root + 7) % 12 };
    for (int i = 0; i < 3; i++)
        out[i] = static_cast<uint8_t>(44 + ((pcs[i] - 7 + 12) % 12)); // 44 = G-3
    std::sort(out, out + 3);
}

uint8_t bass_root(SongChord chord)
{
    return static_cast<uint8_t>(chord.root >= 7 ? 13 + chord.root : 25 + chord.root); // G-1..F#-2
}

struct ThemeKey {
    int lead, progression, section, pass;
    bool operator==(const ThemeKey&) const = default;
};

struct Composer {
    XmSong* song;
    int pattern;
    std::vector<std::pair<ThemeKey, Theme>> themes;
};

// The melody of one pass through a section's progression. Each theme keeps its motif (the first two
// bars) through a section; the rhythm turns every second pass, and every odd pass answers the motif
// with new bars instead of repeating its contour, so the lead rarely plays the same bar twice.
const Theme& theme_for(Composer* c, int lead, int progression, int section, int pass)
{
    ThemeKey key = { lead, progression, section, pass };
    for (const auto& [k, theme] : c->themes)
        if (k == key)
            return theme;
    uint32_t seed = 0x4D0A1u + 7919u * uint32_t(lead - 1) + 104729u * uint32_t(section);
    uint32_t answer = pass % 2 == 1 ? seed * 2654435761u + uint32_t(pass) * 40503u : 0u;
    c->themes.push_back({ key, make_theme(progressions[progression], seed, section + pass / 2, answer) });
    return c->themes.back().second;
}

// Melody note and held flag at a section row, or 0 before the section starts.
uint8_t melody_at(Composer* c, const PositionStyle& st, int section_row, bool* held)
{
    *held = false;
    if (section_row < 0)
        return 0;
    int length = progressions[st.progression].length * SONG_ROWS_PER_BAR;
    const Theme& theme = theme_for(c, st.lead, st.progression, st.section, section_row / length);
    *held = theme.held[section_row % length] != 0;
    return theme.notes[section_row % length];
}

// The mix: every written volume is scaled by its instrument's gain (64 = as written), so the
// balance between instruments is set in one place.
const int instrument_gain[SONG_INSTRUMENT_LAST + 1] = {
    64, // no instrument (key-off)
    38, // kick
    64, // snare
    90, // closed hat
    90, // open hat
    64, // crash
    46, // bass
    112, // pad
    64, // lead
    110, // arp
    96, // bell
    64, // riser
};

void note(Composer* c, int row, int channel, uint8_t n, uint8_t instrument, int volume)
{
    int gain = instrument <= SONG_INSTRUMENT_LAST ? instrument_gain[instrument] : 64;
    xm_set_note(c->song, c->pattern, row, channel, n, instrument, volume >= 0 ? vol((volume * gain + 32) / 64) : 0);
}

void effect(Composer* c, int row, int channel, uint8_t fx, uint8_t param)
{
    xm_set_effect(c->song, c->pattern, row, channel, fx, param);
}

void drum_bar(Composer* c, int drums, int bar_row, int bar_index)
{
    for (int i = 0; i < SONG_ROWS_PER_BAR; i++) {
        int r = bar_row + i;
        switch (drums) {
        case D_BUILD:
            if (i % 4 == 0)
                note(c, r, SONG_CH_KICK, XM_NOTE_C4, SONG_KICK, 56);
            if (i % 4 == 2)
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_CLOSED, 28);
            break;
        case D_FULL:
            if (i % 4 == 0 || (i == 14 && bar_index % 2 == 1))
                note(c, r, SONG_CH_KICK, XM_NOTE_C4, SONG_KICK, i == 14 ? 40 : 60);
            if (i == 4 || i == 12)
                note(c, r, SONG_CH_SNARE, XM_NOTE_C4, SONG_SNARE, 58);
            else if (i == 7 || i == 15)
                note(c, r, SONG_CH_SNARE, XM_NOTE_C4, SONG_SNARE, 12);
            if (i % 4 == 2)
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_OPEN, 30);
            else
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_CLOSED, i % 4 == 0 ? 40 : 26);
            break;
        case D_HALF:
            if (i == 0 || i == 10 || (i == 6 && bar_index % 2 == 1))
                note(c, r, SONG_CH_KICK, XM_NOTE_C4, SONG_KICK, 58);
            if (i == 8)
                note(c, r, SONG_CH_SNARE, XM_NOTE_C4, SONG_SNARE, 52);
            if (i == 14)
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_OPEN, 20);
            else if (i % 2 == 0)
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_CLOSED, i % 4 == 0 ? 26 : 18);
            break;
        case D_SPARSE:
            if (i == 0)
                note(c, r, SONG_CH_KICK, XM_NOTE_C4, SONG_KICK, 46);
            if (i % 4 == 2)
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_CLOSED, 18);
            break;
        case D_BREAK:
            if (i % 2 == 0)
                note(c, r, SONG_CH_HATS, XM_NOTE_C4, SONG_HAT_CLOSED, i % 4 == 0 ? 16 : 10);
            if (i == 12)
                note(c, r, SONG_CH_SNARE, XM_NOTE_C4, SONG_SNARE, 18);
            break;
        default:
            break;
        }
    }
}

// Replaces the second half of a bar with a tom run (the kick played higher) and a snare crescendo.
void fill_half_bar(Composer* c, int bar_row)
{
    static const uint8_t toms[4] = { XM_NOTE_C4 + 12, XM_NOTE_C4 + 9, XM_NOTE_C4 + 5, XM_NOTE_C4 + 2 };
    for (int i = 8; i < SONG_ROWS_PER_BAR; i++) {
        int r = bar_row + i;
        *xm_cell(c->song, c->pattern, r, SONG_CH_KICK) = XmCell();
        *xm_cell(c->song, c->pattern, r, SONG_CH_SNARE) = XmCell();
        if (i % 2 == 0)
            note(c, r, SONG_CH_KICK, toms[(i - 8) / 2], SONG_KICK, 44);
        else
            note(c, r, SONG_CH_SNARE, XM_NOTE_C4, SONG_SNARE, 24 + (i - 8) * 4);
    }
}

// A whole bar of sixteenth snares rising in volume, retriggered in the last rows.
void snare_roll(Composer* c, int bar_row)
{
    for (int i = 0; i < SONG_ROWS_PER_BAR; i++) {
        int r = bar_row + i;
        note(c, r, SONG_CH_SNARE, XM_NOTE_C4, SONG_SNARE, 14 + i * 3);
        if (i >= 12)
            effect(c, r, SONG_CH_SNARE, XM_FX_EXTENDED, 0x93);
    }
}

void bass_bar(Composer* c, int style, SongChord chord, int bar_row, int rows_left)
{
    static const int groove[16] = { 0, -1, 12, 0, -1, 0, 12, -1, 0, -1, 12, 0, -1, 0, 7, 12 };
    uint8_t root = bass_root(chord);
    for (int i = 0; i < SONG_ROWS_PER_BAR && i < rows_left; i++) {
        int r = bar_row + i;
        if (style == B_WHOLE || style == B_HIGH_WHOLE) {
            if (i == 0)
                note(c, r, SONG_CH_BASS, static_cast<uint8_t>(style == B_WHOLE ? root : root + 12), SONG_BASS, 46);
            if (i == 14)
                note(c, r, SONG_CH_BASS, XM_NOTE_OFF, 0, -1);
        } else if (style == B_EIGHTHS) {
            if (i % 2 == 0)
                note(c, r, SONG_CH_BASS, static_cast<uint8_t>(root + (i % 4 == 2 ? 12 : 0)), SONG_BASS,
                    i % 4 == 0 ? 46 : 36);
        } else if (style == B_GROOVE && groove[i] >= 0) {
            note(c, r, SONG_CH_BASS, static_cast<uint8_t>(root + groove[i]), SONG_BASS, i % 2 == 0 ? 46 : 32);
        }
    }
}

void crash(Composer* c, int row, int volume)
{
    note(c, row, SONG_CH_FX, XM_NOTE_C4, SONG_CRASH, volume);
}

// Crash accents where scenes start and cues land, except on fades and quiet waits.
int accent_volume(int position, int row, int value)
{
    if (position == 0 && row == 0)
        return 0;
    if (value == 255)
        return 30;
    if (value == 12 || value == 15)
        return 0;
    if (song_positions[position].scene == 14 && value == 241)
        return 0;
    if (value == 16)
        return 26;
    if (value <= 16 || value == 1 || value == 240 || value == 245)
        return 44;
    return 32;
}

// Shaker on the off sixteenths, a clap (the snare pitched up) on the backbeats, panned apart.
void perc_bar(Composer* c, int volume, int bar_row, int rows)
{
    for (int i = 0; i < SONG_ROWS_PER_BAR && bar_row + i < rows; i++) {
        int r = bar_row + i;
        if (i == 4 || i == 12) {
            note(c, r, SONG_CH_PERC, XM_NOTE_C4 + 5, SONG_SNARE, volume - 4);
            effect(c, r, SONG_CH_PERC, XM_FX_SET_PANNING, 0xD0);
        } else {
            note(c, r, SONG_CH_PERC, XM_NOTE_C4 + 12, SONG_HAT_CLOSED, i % 2 ? volume : volume - 8);
            effect(c, r, SONG_CH_PERC, XM_FX_SET_PANNING, 0x28);
        }
    }
}

// Drums, bass, arpeggio and percussion rest from `row` to the end of the pattern: a stop before
// the next downbeat.
void rest_from(Composer* c, int row, int rows)
{
    static const int channels[]
        = { SONG_CH_KICK, SONG_CH_SNARE, SONG_CH_HATS, SONG_CH_BASS, SONG_CH_ARP, SONG_CH_PERC };
    for (int ch : channels)
        for (int r = row; r < rows; r++)
            *xm_cell(c->song, c->pattern, r, ch) = XmCell();
    note(c, row, SONG_CH_BASS, XM_NOTE_OFF, 0, -1);
    note(c, row, SONG_CH_ARP, XM_NOTE_OFF, 0, -1);
}

// The climax's counter-melody: two long chord tones a bar in the octave above the lead, each the
// chord tone nearest the last (root first, then third), with vibrato while held.
void counter_bar(Composer* c, SongChord chord, int bar_row, int* last_note)
{
    for (int half = 0; half < 2; half++) {
        int pc = (chord.root + (half == 0 ? 0 : (chord.minor ? 3 : 4))) % 12;
        int best = 0;
        for (int n = 58; n <= 73; n++) // A#-4 .. C#-6
            if (pitch_class(n) == pc && (!best || std::abs(n - *last_note) < std::abs(best - *last_note)))
                best = n;
        int r = bar_row + half * 8;
        note(c, r, SONG_CH_COUNTER, static_cast<uint8_t>(best), SONG_LEAD, 46);
        effect(c, r, SONG_CH_COUNTER, XM_FX_SET_PANNING, 0x30);
        for (int h = r + 2; h < r + 7; h++)
            effect(c, h, SONG_CH_COUNTER, XM_FX_VIBRATO, 0x62);
        *last_note = best;
    }
}

// The opening re-enters its scene at the end of a pattern (a wait on the last row, the scene again
// on the next row 0) so a new train of rings rises. The wait must last long enough for the demo's
// 32 ms tick to see it but show no frozen frame beyond that: the last row is squeezed to two song
// ticks (40 ms) and the row before it stretched to ten, so the bar keeps its length, and both rows
// rest, so the squeeze falls in a break the ear takes as the end of the phrase.
bool reenters_at_end(int position)
{
    int last = song_positions[position].rows - 1;
    return position < SONG_ROW_SYNC_POSITIONS && song_sync_at(position, last) == 12;
}

void compose_position(Composer* c, int position)
{
    const PositionStyle& st = styles[position];
    const PositionStyle* prev = position > 0 ? &styles[position - 1] : nullptr;
    int rows = song_positions[position].rows;
    int section_row = section_row_at(position);
    int cut = st.cut ? st.cut : rows;
    const ProgressionDef& prog = progressions[st.progression];
    int counter_note = 64;

    for (int bar_row = 0; bar_row < rows; bar_row += SONG_ROWS_PER_BAR) {
        int bar_index = (section_row + bar_row) / SONG_ROWS_PER_BAR;
        SongChord chord = prog.chords[bar_index % prog.length];
        bool last_bar = bar_row + SONG_ROWS_PER_BAR >= rows;

        if (bar_row < cut)
            drum_bar(c, st.drums, bar_row, bar_index);
        if (bar_row < cut && st.perc)
            perc_bar(c, st.perc, bar_row, cut);
        bass_bar(c, bar_row < cut ? int(st.bass) : int(B_HIGH_WHOLE), chord, bar_row, rows - bar_row);
        if (last_bar && (st.ending & E_FILL))
            fill_half_bar(c, bar_row);
        if (last_bar && (st.ending & E_ROLL))
            snare_roll(c, bar_row);
        if (st.climax)
            counter_bar(c, chord, bar_row, &counter_note);

        // Pad: retrigger when the chord changes or the section starts; the three voices spread
        // across the image.
        bool new_section = bar_row == 0 && (!prev || prev->section != st.section || prev->pad == 0);
        SongChord before = bar_index > 0 ? prog.chords[(bar_index - 1) % prog.length] : chord;
        bool chord_changed = before.root != chord.root || before.minor != chord.minor;
        if (st.pad && (new_section || chord_changed || bar_index == 0)) {
            uint8_t voicing[3];
            pad_voicing(chord, voicing);
            static const uint8_t pans[3] = { 0x10, 0xF0, 0x50 };
            for (int v = 0; v < 3; v++) {
                note(c, bar_row, SONG_CH_PAD1 + v, voicing[v], SONG_PAD, st.pad);
                effect(c, bar_row, SONG_CH_PAD1 + v, XM_FX_SET_PANNING, pans[v]);
            }
        } else if (st.pad && bar_row == 0) {
            for (int v = 0; v < 3; v++) // the same chord goes on, at this position's level
                xm_cell(c->song, c->pattern, 0, SONG_CH_PAD1 + v)->volume = vol(st.pad);
        }
        if (!st.pad && bar_row == 0 && prev && prev->pad)
            for (int v = 0; v < 3; v++)
                note(c, 0, SONG_CH_PAD1 + v, XM_NOTE_OFF, 0, -1);

        // Arpeggio: a note every two rows, the chord spun by the arpeggio effect on every row.
        if (st.arp && bar_row < cut) {
            uint8_t root = static_cast<uint8_t>(XM_NOTE_C4 + chord.root);
            uint8_t shape = chord.minor ? 0x37 : 0x47;
            for (int i = 0; i < SONG_ROWS_PER_BAR && bar_row + i < cut; i++) {
                int r = bar_row + i;
                if (i % 2 == 0)
                    note(c, r, SONG_CH_ARP, root, SONG_ARP, i % 4 == 0 ? st.arp : st.arp - 6);
                effect(c, r, SONG_CH_ARP, XM_FX_ARPEGGIO, shape);
            }
        }

        // Bell figure on the echo channel, its notes alternating sides.
        if (st.bell && !st.lead) {
            uint8_t root = static_cast<uint8_t>(XM_NOTE_C4 + 12 + chord.root);
            uint8_t third = static_cast<uint8_t>(root + (chord.minor ? 3 : 4));
            const int rows_of[4] = { 0, 6, 10, 12 };
            const uint8_t notes_of[4]
                = { root, static_cast<uint8_t>(root + 7), third, static_cast<uint8_t>(root + 12) };
            for (int k = 0; k < 4; k++) {
                note(c, bar_row + rows_of[k], SONG_CH_ECHO, notes_of[k], SONG_BELL, k == 0 ? st.bell : st.bell - 8);
                effect(c, bar_row + rows_of[k], SONG_CH_ECHO, XM_FX_SET_PANNING, k % 2 ? 0xD0 : 0x30);
            }
        }
        if (last_bar && (st.ending & E_STOP))
            rest_from(c, bar_row + 12, rows);
    }

    // Lead melody, and on the echo channel its echo three rows later on the other side, or in the
    // climax the lead itself an octave up.
    if (st.lead) {
        for (int r = 0; r < rows; r++) {
            bool held, echo_held;
            uint8_t n = melody_at(c, st, section_row + r, &held);
            if (n) {
                note(c, r, SONG_CH_LEAD, n, n == XM_NOTE_OFF ? 0 : SONG_LEAD,
                    n == XM_NOTE_OFF ? -1 : (st.climax ? 64 : 44));
                if (n != XM_NOTE_OFF)
                    effect(c, r, SONG_CH_LEAD, XM_FX_SET_PANNING, 0x40);
            }
            if (held)
                effect(c, r, SONG_CH_LEAD, XM_FX_VIBRATO, 0x72);
            uint8_t e = st.climax ? n : melody_at(c, st, section_row + r - 3, &echo_held);
            if (e) {
                bool off = e == XM_NOTE_OFF;
                note(c, r, SONG_CH_ECHO, off ? e : static_cast<uint8_t>(e + (st.climax ? 12 : 0)), off ? 0 : SONG_LEAD,
                    off ? -1 : (st.climax ? 30 : 34));
                if (!off)
                    effect(c, r, SONG_CH_ECHO, XM_FX_SET_PANNING, 0xF0);
            }
        }
    } else if (prev && prev->lead && !st.bell) {
        note(c, 0, SONG_CH_LEAD, XM_NOTE_OFF, 0, -1);
        note(c, 0, SONG_CH_ECHO, XM_NOTE_OFF, 0, -1);
    }
    if (prev && prev->climax && !st.climax)
        note(c, 0, SONG_CH_COUNTER, XM_NOTE_OFF, 0, -1);
    if (st.cut && st.arp)
        note(c, st.cut, SONG_CH_ARP, XM_NOTE_OFF, 0, -1);

    // FX channel: riser into the next section, crashes on cues, the position's level, the
    // closing fade.
    if (st.ending & E_RISER)
        note(c, rows - 17, SONG_CH_FX, XM_NOTE_C4, SONG_RISER, 30);
    for (int i = 0; i < song_sync_count; i++) {
        const SongSync& s = song_syncs[i];
        if (s.position != position)
            continue;
        int v = s.row_sync ? 0 : accent_volume(position, s.row, s.value);
        if (v > 0) {
            crash(c, s.row, v);
            if (st.drums != D_NONE && st.drums != D_BREAK) {
                XmCell* kick = xm_cell(c->song, c->pattern, s.row, SONG_CH_KICK);
                *kick = XmCell();
                note(c, s.row, SONG_CH_KICK, XM_NOTE_C4, SONG_KICK, 62);
            }
        }
        xm_set_effect(c->song, c->pattern, s.row, SONG_CH_SYNC, XM_FX_SYNC, s.value);
    }
    // Every position sets its level on row 0, so a player that loops plays the second pass as the
    // first: the song's end fades the global volume to 0.
    effect(c, 0, SONG_CH_FX, XM_FX_GLOBAL_VOLUME, st.level);
    if (position == SONG_POSITION_COUNT - 1) {
        for (int r = 4; r < rows; r += 4)
            effect(c, r, SONG_CH_FX, XM_FX_GLOBAL_VOLUME, static_cast<uint8_t>(st.level - (st.level * r) / rows));
        effect(c, rows - 1, SONG_CH_FX, XM_FX_GLOBAL_VOLUME, 0);
    }
    if (reenters_at_end(position)) {
        rest_from(c, rows - 2, rows);
        for (int ch : { SONG_CH_LEAD, SONG_CH_ECHO, SONG_CH_FX })
            *xm_cell(c->song, c->pattern, rows - 1, ch) = XmCell();
        effect(c, rows - 2, SONG_CH_PERC, XM_FX_SET_SPEED, 10);
        effect(c, rows - 1, SONG_CH_PERC, XM_FX_SET_SPEED, 2);
    }
    if (position > 0 && reenters_at_end(position - 1))
        effect(c, 0, SONG_CH_PERC, XM_FX_SET_SPEED, 6);
}

} // namespace

namespace {

const char* const section_names[]
    = { "intro", "build", "field lines", "credits", "road", "bottle", "twin glows", "running", "globe", "shells",
          "swarm", "breakdown", "landscape", "zoom", "wait", "outro", "landscape B", "landscape A'" };
constexpr int SECTION_NAME_COUNT = int(sizeof(section_names) / sizeof(section_names[0]));

} // namespace

int song_section_count()
{
    int count = 1;
    for (int p = 1; p < SONG_POSITION_COUNT; p++)
        count += styles[p].section != styles[p - 1].section;
    return count;
}

SongSection song_section(int index)
{
    int first = 0;
    for (int i = 0; i < index; i++)
        while (++first < SONG_POSITION_COUNT && styles[first].section == styles[first - 1].section) { }
    int end = first + 1;
    while (end < SONG_POSITION_COUNT && styles[end].section == styles[first].section)
        end++;
    int full = 0;
    for (int p = first; p < end; p++)
        full += styles[p].drums == D_FULL;
    int id = styles[first].section;
    return { first, end, id < SECTION_NAME_COUNT ? section_names[id] : "?", 2 * full > end - first };
}

SongChord song_chord_at(int position, int row)
{
    return chord_of(position, row);
}

double song_row_time(int position, int row)
{
    int rows = row;
    for (int p = 0; p < position; p++)
        rows += song_positions[p].rows;
    double seconds = rows * 0.12;
    if (position < SONG_POSITION_COUNT && row == song_positions[position].rows - 1 && reenters_at_end(position))
        seconds += 0.08; // the row before lasts ten ticks instead of six
    return seconds;
}

bool song_position_has_harmony(int position)
{
    return styles[position].pad > 0 || styles[position].bass != B_NONE;
}

void compose_song(XmSong* song)
{
    xm_init_song(song, "morrowick", SONG_CHANNEL_COUNT);
    song->default_speed = 6;
    song->default_bpm = 125;
    song->restart_position = 0;
    make_song_instruments(&song->instruments);

    Composer composer = {};
    composer.song = song;

    song->orders.clear();
    for (int p = 0; p < SONG_POSITION_COUNT; p++) {
        composer.pattern = xm_add_pattern(song, song_positions[p].rows);
        compose_position(&composer, p);
        song->orders.push_back(static_cast<uint8_t>(composer.pattern));
    }
}
