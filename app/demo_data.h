// demo_data.h -- one-time set-up of every picture, table, mesh and scene record the scenes use.
#pragma once

// Loads and builds all demo data. Non-zero on success, 0 on failure.
int setup_demo_data();
// Releases what shut-down gives back.
void release_demo_data();
