// song_sync.cpp -- the sync map table: where each scene starts, where each cue lands, and the opening's row syncs.
#include "tools/song/song_sync.h"

#include <array>

// clang-format off
constexpr SongPosition song_positions[SONG_POSITION_COUNT] = {
    {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, // 0-7 rings
    {64, 2}, {64, 2},                                                       // 8-9 field lines
    {64, 3}, {64, 3}, {64, 3}, {64, 3}, {64, 3}, {64, 4}, {64, 4}, {64, 4}, {64, 4}, // 10-18 credits wall
    {64, 5}, {64, 5}, {64, 5}, {64, 5}, {64, 5}, {64, 5},                   // 19-24 road
    {64, 6}, {64, 6}, {64, 6}, {64, 6},                                     // 25-28 bottle
    {64, 7}, {64, 7},                                                       // 29-30 twin glows
    {64, 8}, {64, 8}, {64, 8}, {64, 8},                                     // 31-34 running figure
    {96, 9},                                                                // 35 globe
    {64, 10},                                                               // 36 shells
    {96, 11}, {96, 11},                                                     // 37-38 swarm
    {32, 12}, {32, 12},                                                     // 39-40 wait
    {48, 13}, {48, 13}, {48, 13}, {48, 13}, {48, 13}, {48, 13}, {48, 13}, {48, 13}, {48, 13}, {48, 13}, // 41-50
    {64, 14}, {64, 14}, {64, 14}, {64, 14}, {64, 14},                       // 51-55 picture zoom
    {32, 15},                                                               // 56 wait
    {64, 16}, {64, 16}, {64, 16},                                           // 57-59 flames, the end
};

namespace {

// Scene starts and cues, in play order. The opening's rings start afresh each time the scene is
// entered, and rise off the screen for good otherwise: from position 4 on, a wait (12) on the last
// row of each pattern and the scene again on row 0 (1 where the noise bursts come) re-enter it, so
// every pattern sends up a new train of rings. The credits rise (240) waits for the ribbon's sway to
// pass the middle, 510 ticks into the wall, so the credits come up centred; the closing (4) comes
// 690 ticks later, while the credits' top is still on screen, so ribbons 2 and 3 (placed below it)
// rise into view under the credits before the title (245); the chickcone turns
// (242) 150 ticks after it slides in (241), while it is still well ahead of the camera.
constexpr SongSync scene_syncs[] = {
    {0, 0, 0}, {3, 63, 12}, {4, 0, 1}, {4, 63, 12}, {5, 0, 0}, {5, 63, 12}, {6, 0, 1}, {6, 63, 12}, {7, 0, 0},
    {8, 0, 2},
    {10, 0, 3}, {12, 8, 240}, {13, 0, 241}, {13, 48, 242}, {14, 0, 243}, {14, 48, 244}, {15, 0, 4}, {18, 0, 245},
    {19, 0, 5}, {22, 0, 241}, {22, 40, 242},
    {25, 0, 6},
    {29, 0, 7}, {29, 32, 240}, {30, 0, 241}, {30, 32, 242},
    {31, 0, 8}, {31, 16, 241}, {32, 0, 242}, {32, 32, 243}, {33, 0, 244}, {34, 0, 245},
    {35, 0, 9},
    {36, 0, 10},
    {37, 0, 11},
    {39, 0, 12},
    {41, 0, 13}, {50, 16, 255},
    {51, 0, 14}, {54, 48, 241},
    {56, 0, 15},
    {57, 0, 16},
};
// clang-format on

constexpr int SCENE_SYNC_COUNT = int(sizeof(scene_syncs) / sizeof(scene_syncs[0]));

constexpr bool scene_syncs_in_order()
{
    for (int i = 1; i < SCENE_SYNC_COUNT; i++)
        if (scene_syncs[i - 1].position * 256 + scene_syncs[i - 1].row
            >= scene_syncs[i].position * 256 + scene_syncs[i].row)
            return false;
    return true;
}
static_assert(scene_syncs_in_order(), "scene syncs must be listed in play order");

constexpr bool scene_sync_on(int position, int row)
{
    for (const SongSync& s : scene_syncs)
        if (s.position == position && s.row == row)
            return true;
    return false;
}

constexpr int count_all_syncs()
{
    int n = SCENE_SYNC_COUNT;
    for (int p = 0; p < SONG_ROW_SYNC_POSITIONS; p++)
        for (int r = 0; r < song_positions[p].rows; r++)
            n += !scene_sync_on(p, r);
    return n;
}

constexpr int ALL_SYNC_COUNT = count_all_syncs();

// The scene syncs, and a row sync on each remaining row of the opening, in play order.
constexpr std::array<SongSync, ALL_SYNC_COUNT> merge_syncs()
{
    std::array<SongSync, ALL_SYNC_COUNT> out {};
    int n = 0, next = 0;
    for (int p = 0; p < SONG_POSITION_COUNT; p++) {
        int rows = p < SONG_ROW_SYNC_POSITIONS ? int(song_positions[p].rows) : 0;
        for (int r = 0; r < rows; r++) {
            if (next < SCENE_SYNC_COUNT && scene_syncs[next].position == p && scene_syncs[next].row == r)
                out[n++] = scene_syncs[next++];
            else
                out[n++] = SongSync { uint8_t(p), uint8_t(r), SONG_ROW_SYNC_VALUE, true };
        }
        while (next < SCENE_SYNC_COUNT && scene_syncs[next].position == p)
            out[n++] = scene_syncs[next++];
    }
    return out;
}

constexpr std::array<SongSync, ALL_SYNC_COUNT> all_syncs = merge_syncs();

} // namespace

const SongSync* const song_syncs = all_syncs.data();
const int song_sync_count = ALL_SYNC_COUNT;

int song_sync_at(int position, int row)
{
    for (int i = 0; i < song_sync_count; i++)
        if (song_syncs[i].position == position && song_syncs[i].row == row)
            return song_syncs[i].value;
    return -1;
}

int song_total_rows()
{
    int rows = 0;
    for (const SongPosition& p : song_positions)
        rows += p.rows;
    return rows;
}
