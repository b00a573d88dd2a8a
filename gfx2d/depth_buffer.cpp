// depth_buffer.cpp -- allocation of the shared depth buffer.
#include "gfx2d/depth_buffer.h"

#include <cstdlib>

float* depth_buffer = nullptr;

int allocate_depth_buffer()
{
    if (!depth_buffer)
        depth_buffer = static_cast<float*>(std::calloc(DEPTH_BUFFER_SIZE, sizeof(float)));
    return depth_buffer != nullptr;
}
