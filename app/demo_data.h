// demo_data.h -- one-time set-up of every picture, table, mesh and scene record the scenes use.
#pragma once

// Loads and builds all demo data in a fixed order; the first failure returns 0 at once
// without releasing what was made. Non-zero on success.
int setup_demo_data();
// Frees the bump tables, the bump height map and the ring records.
void release_demo_data();

// The scene loaders that set-up calls last, in this order, stopping at the first that fails.
// Each returns non-zero on success. Kept in a table so tests can make one of them fail.
using SceneLoader = int (*)();
constexpr int SCENE_LOADER_COUNT = 9;
extern SceneLoader scene_loaders[SCENE_LOADER_COUNT];
