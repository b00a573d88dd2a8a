// content_preview.h -- review images of generated content: animation strips and mesh wireframes.
#pragma once

#include "tools/content/content_anims.h"
#include "tools/content/content_meshes.h"

#include <string>

// A strip of every eighth frame (or fewer) of an animation, through its palette.
bool preview_animation(const ContentAnimation* anim, const std::string& path);
// Keyframes of a mesh side by side, each seen in perspective from above and in front.
bool preview_mesh(const MaMesh* mesh, const std::string& path);
// A raw map: heights as grey, colours as they are.
bool preview_raw(const uint8_t* bytes, int width, int height, int channels, const std::string& path);
