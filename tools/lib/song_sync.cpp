// song_sync.cpp -- the sync map table: where each scene starts and where each cue lands.
#include "tools/lib/song_sync.h"

// clang-format off
const SongPosition song_positions[SONG_POSITION_COUNT] = {
    {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, {64, 0}, // 0-7 rings
    {64, 2}, {64, 2},                                                       // 8-9 field lines
    {64, 3}, {64, 3}, {64, 3}, {64, 3}, {64, 3}, {64, 3}, {64, 4}, {64, 4}, {64, 4}, // 10-18 credits wall
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

const SongSync song_syncs[] = {
    {0, 0, 0}, {4, 0, 1}, {6, 0, 1},
    {8, 0, 2},
    {10, 0, 3}, {12, 0, 240}, {13, 0, 241}, {13, 48, 242}, {14, 0, 243}, {14, 48, 244}, {16, 0, 4}, {18, 0, 245},
    {19, 0, 5}, {22, 0, 241}, {23, 32, 242},
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

const int song_sync_count = static_cast<int>(sizeof(song_syncs) / sizeof(song_syncs[0]));

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
