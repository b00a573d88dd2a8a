// scene_table.h -- the 17 scene functions, indexed by scene number.
#pragma once

using SceneFunction = void (*)();

// Allocated and filled at start-up (17 slots); null before.
extern SceneFunction* scene_table;

// Allocates the table zero-filled and fills it. Returns 0, or -1 when it cannot be allocated.
int create_scene_table();
void fill_scene_table(SceneFunction* table);
