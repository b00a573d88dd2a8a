// scene_table.cpp -- which function plays each scene number. A scene not built yet waits.
#include "scenes/scene_table.h"

#include <cstdlib>

#include "app/demo.h"

SceneFunction* scene_table = nullptr;

void fill_scene_table(SceneFunction* table)
{
    table[0] = wait_scene; // rings through the bump map (shared with 1)
    table[1] = wait_scene; // rings through the bump map (shared with 0)
    table[2] = wait_scene; // field lines
    table[3] = wait_scene; // warped wall, ribbons, credits (shared with 4)
    table[4] = wait_scene; // warped wall, ribbons, credits (shared with 3)
    table[5] = wait_scene; // road drive
    table[6] = wait_scene; // bottle
    table[7] = wait_scene; // twin glows
    table[8] = wait_scene; // running animation
    table[9] = wait_scene; // globe among the stars
    table[10] = wait_scene; // shells over a flash
    table[11] = wait_scene; // particle swarm
    table[12] = wait_scene;
    table[13] = wait_scene; // landscape
    table[14] = wait_scene; // picture zoom
    table[15] = wait_scene;
    table[16] = wait_scene; // closing flames
}

int create_scene_table()
{
    scene_table = static_cast<SceneFunction*>(std::calloc(SCENE_COUNT, sizeof(SceneFunction)));
    if (!scene_table)
        return -1;
    fill_scene_table(scene_table);
    return 0;
}
