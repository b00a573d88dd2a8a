// demo_data.cpp -- demo data set-up.
//
// Placeholder until the scenes' data arrives: nothing to load yet, so set-up succeeds. The data
// set-up work replaces both functions with the real load order and release list.
#include "app/demo_data.h"

int setup_demo_data()
{
    return 1;
}

void release_demo_data() { }
