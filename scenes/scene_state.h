// scene_state.h -- the scene state that outlives one run of a scene, saved after set-up and put back.
//
// Scenes keep some state in process-wide storage between their runs (mesh keyframes, the
// landscape's camera, the swarm, the globe's orientation and stars, the shared matrix, ...).
// A jump to a place in the song puts all of it back as set-up left it, so the scene starts there
// exactly as it would in a fresh process.
#pragma once

// Copies the state aside. Call once, after the demo data set-up. 0 or -1 (out of memory).
int save_scene_state();
// Puts the copy back (nothing happens before save_scene_state).
void restore_scene_state();
void release_scene_state();
