// scene_table.cpp -- which function plays each scene number. A scene not built yet waits.
#include "scenes/scene_table.h"

#include <cstdlib>

#include "app/demo.h"
#include "scenes/scene01_rings.h"
#include "scenes/globe.h"
#include "scenes/landscape.h"
#include "scenes/scene10_shells.h"
#include "scenes/scene11_swarm.h"
#include "scenes/scene14_zoom.h"
#include "scenes/scene16_flames.h"
#include "scenes/scene2_field_lines.h"
#include "scenes/scene34_wall.h"
#include "scenes/scene5_road.h"
#include "scenes/scene6_bottle.h"
#include "scenes/scene7_glows.h"
#include "scenes/scene8_running.h"

SceneFunction* scene_table = nullptr;

namespace {
// Stands in for a scene that is not built yet: keeps the slot's number running like a scene
// that draws nothing (the last frame stays up), and returns when the number moves on.
[[maybe_unused]] void unbuilt_scene()
{
    const uint32_t own = current_scene_number();
    while (scene_keeps_running(own, own)) {
        elapsed_ticks = wait_tick();
        poll_messages();
    }
}
} // namespace

void fill_scene_table(SceneFunction* table)
{
    table[0] = rings_scene; // rings through the bump map (shared with 1)
    table[1] = rings_scene; // rings through the bump map (shared with 0)
    table[2] = field_lines_scene; // field lines
    table[3] = wall_scene; // warped wall, ribbons, credits (shared with 4)
    table[4] = wall_scene; // warped wall, ribbons, credits (shared with 3)
    table[5] = road_scene; // road drive
    table[6] = bottle_scene; // bottle
    table[7] = glows_scene; // twin glows
    table[8] = running_animation_scene; // running animation
    table[9] = globe_scene; // globe among the stars
    table[10] = shells_scene; // shells over a flash
    table[11] = swarm_scene; // particle swarm
    table[12] = wait_scene;
    table[13] = landscape_scene; // landscape
    table[14] = picture_zoom_scene; // picture zoom
    table[15] = wait_scene;
    table[16] = closing_flames_scene; // closing flames
}

int create_scene_table()
{
    scene_table = static_cast<SceneFunction*>(std::calloc(SCENE_COUNT, sizeof(SceneFunction)));
    if (!scene_table)
        return -1;
    fill_scene_table(scene_table);
    return 0;
}
