// song_map.cpp -- scene in force, cues seen and scene changes, from the song's sync commands.
#include "app/song_map.h"

#include <cstdlib>

#include "app/demo.h"
#include "app/sequencer.h"
#include "sound/sound.h"

namespace {

bool before_or_at(const SongSync& s, int position, int row)
{
    return s.position < position || (s.position == position && s.row <= row);
}

bool is_scene_number(uint32_t value)
{
    return value < SCENE_COUNT;
}

// Two scene numbers played by one function: the second keeps the first one's run going.
bool one_scene(uint32_t a, uint32_t b)
{
    return a == b || (scene_table && scene_function_for(a) == scene_function_for(b));
}

// A scene in force for fewer rows than this (a wait of a row or two between two runs of one
// scene) is not a place worth jumping to.
constexpr int SHORTEST_SCENE_ROWS = 4;

int linear_row(const SongMap* map, int position, int row)
{
    int rows = 0;
    for (int p = 0; p < position && size_t(p) < map->rows.size(); ++p)
        rows += map->rows[size_t(p)];
    return rows + row;
}

// Indices of the syncs where the scene in force changes, momentary ones left out.
std::vector<size_t> scene_changes(const SongMap* map)
{
    std::vector<size_t> raw;
    uint32_t in_force = 0;
    for (size_t i = 0; i < map->syncs.size(); ++i) {
        const uint32_t v = map->syncs[i].value;
        if (is_scene_number(v) && (raw.empty() || v != in_force)) {
            raw.push_back(i);
            in_force = v;
        }
    }
    std::vector<size_t> out;
    for (size_t k = 0; k < raw.size(); ++k) {
        const SongSync& s = map->syncs[raw[k]];
        if (k + 1 < raw.size()) {
            const SongSync& next = map->syncs[raw[k + 1]];
            if (linear_row(map, next.position, next.row) - linear_row(map, s.position, s.row) < SHORTEST_SCENE_ROWS)
                continue;
        }
        if (out.empty() || map->syncs[out.back()].value != s.value)
            out.push_back(raw[k]);
    }
    return out;
}

} // namespace

bool build_song_map(SoundModule* module, SongMap* map)
{
    *map = SongMap {};
    const int orders = sound_module_order_count(module);
    for (int p = 0; p < orders; ++p) {
        const int rows = sound_module_order_rows(module, p);
        map->rows.push_back(rows);
        for (int r = 0; r < rows; ++r) {
            const uint8_t* values = nullptr;
            const int count = sound_module_syncs_at(module, p, r, &values);
            if (count > 0)
                map->syncs.push_back(SongSync { p, r, values[count - 1] }); // only the last survives
        }
    }
    return orders > 0;
}

bool parse_song_place(const char* text, int* position, int* row)
{
    char* end = nullptr;
    if (!text || *text < '0' || *text > '9')
        return false;
    const long p = std::strtol(text, &end, 10);
    long r = 0;
    if (*end == ':') {
        const char* rest = end + 1;
        if (*rest < '0' || *rest > '9')
            return false;
        r = std::strtol(rest, &end, 10);
    }
    if (*end || p > 255 || r > 255)
        return false;
    *position = int(p);
    *row = int(r);
    return true;
}

bool song_place_valid(const SongMap* map, int position, int row)
{
    return position >= 0 && size_t(position) < map->rows.size() && row >= 0 && row < map->rows[size_t(position)];
}

void song_place_at(const SongMap* map, int position, int row, SongPlace* place)
{
    *place = SongPlace {};
    place->position = position;
    place->row = row;
    size_t end = 0; // syncs [0, end) are at or before the place
    while (end < map->syncs.size() && before_or_at(map->syncs[end], position, row))
        ++end;
    size_t last_scene = end; // the last scene number among them, then the entry of its run
    while (last_scene > 0 && !is_scene_number(map->syncs[last_scene - 1].value))
        --last_scene;
    if (last_scene > 0)
        place->scene = map->syncs[last_scene - 1].value;
    size_t entry = last_scene;
    for (size_t i = last_scene; i > 1; --i) {
        const uint32_t v = map->syncs[i - 2].value;
        if (is_scene_number(v) && !one_scene(v, place->scene))
            break;
        if (is_scene_number(v))
            entry = i - 1;
    }
    if (entry > 0) {
        const SongSync& s = map->syncs[entry - 1];
        place->entry_scene = s.value;
        place->scene_position = s.position;
        place->scene_row = s.row;
        place->cues.push_back(s.value);
        place->cue_places.push_back(s);
    }
    place->last_value = place->scene;
    if (end > 0) {
        const SongSync& last = map->syncs[end - 1];
        place->sync_position = last.position;
        place->sync_row = last.row;
        place->last_value = last.value;
    }
    for (size_t i = entry; i < end; ++i) {
        const uint32_t v = map->syncs[i].value;
        if (!place->cues.empty() && place->cues.back() != v) {
            place->cues.push_back(v);
            place->cue_places.push_back(map->syncs[i]);
        }
    }
}

std::vector<SongSync> song_scene_changes(const SongMap* map)
{
    std::vector<SongSync> out;
    for (size_t i : scene_changes(map))
        out.push_back(map->syncs[i]);
    return out;
}

bool song_next_scene_change(const SongMap* map, int position, int row, int* out_position, int* out_row)
{
    for (size_t i : scene_changes(map)) {
        const SongSync& s = map->syncs[i];
        if (!before_or_at(s, position, row)) {
            *out_position = s.position;
            *out_row = s.row;
            return true;
        }
    }
    return false;
}

bool song_previous_scene_change(const SongMap* map, int position, int row, int* out_position, int* out_row)
{
    const std::vector<size_t> changes = scene_changes(map);
    size_t in_force = changes.size(); // the change that started the scene in force
    for (size_t k = 0; k < changes.size() && before_or_at(map->syncs[changes[k]], position, row); ++k)
        in_force = k;
    if (in_force == changes.size() || in_force == 0)
        return false;
    const SongSync& s = map->syncs[changes[in_force - 1]];
    *out_position = s.position;
    *out_row = s.row;
    return true;
}
