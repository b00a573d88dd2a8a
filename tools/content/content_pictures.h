// content_pictures.h -- the demo's still pictures (logos, captions, credits, faces, textures), made procedurally.
#pragma once

#include "tools/content/content_common.h"

#include <cstdint>
#include <vector>

// Appends every text and illustration picture (everything but the planet maps) to out, in the
// order the demo loads them. Returns false when a font cannot be opened.
bool make_pictures(uint64_t seed, std::vector<ContentPicture>* out);

// Shading helper shared by the illustrations: a lit, anti-aliased superellipse "blob".
// power 2 gives an ellipse, larger powers a rounded box.
void shade_blob(
    Canvas* c, double cx, double cy, double rx, double ry, double power, Rgb base, double specular, double alpha);
