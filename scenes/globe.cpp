// globe.cpp -- scene 9: the globe's assets, its texture composition and drawing, and the scene.
#include "scenes/globe.h"

#include <cstdlib>

#include "display/present.h"
#include "display/surface.h"
#include "effects/stars.h"
#include "gfx2d/image.h"

Globe* globe = nullptr;
Surface* globe_surface_map = nullptr;
Surface* globe_clouds = nullptr;
Surface* globe_light_map = nullptr;
StarField* globe_stars = nullptr;

int load_globe_assets()
{
    static const char* const paths[3] = { "./data/world.acg", "./data/clouds.acg", "./data/light.acg" };
    Surface** const targets[3] = { &globe_surface_map, &globe_clouds, &globe_light_map };

    // All three pictures are read before any Surface is made.
    Image* pictures[3] = {};
    for (int i = 0; i < 3; ++i)
        if (!(pictures[i] = load_acg_file(paths[i])))
            return 0;

    for (int i = 0; i < 3; ++i) {
        Surface* surface = create_surface(GLOBE_TEXTURE_WIDTH, GLOBE_TEXTURE_HEIGHT, 32);
        if (!surface)
            return 0;
        clear_surface(surface);
        draw_image(surface, pictures[i], 0, 0);
        destroy_image(pictures[i]);
        *targets[i] = surface;
    }

    globe = static_cast<Globe*>(std::calloc(1, sizeof(Globe)));
    if (!globe)
        return 0;
    globe->texture
        = static_cast<uint32_t*>(std::calloc(size_t(GLOBE_TEXTURE_WIDTH) * GLOBE_TEXTURE_HEIGHT, sizeof(uint32_t)));
    if (!globe->texture)
        return 0;
    globe->texture_width = GLOBE_TEXTURE_WIDTH;
    globe->texture_height = GLOBE_TEXTURE_HEIGHT;
    globe->radius = Vec4 { 25.0, 0.0, 0.0, 1.0 };
    globe->centre = Vec4 { 160.0, 120.0, 100.0, 0.0 };

    globe_stars = create_star_field(GLOBE_STAR_COUNT);
    return globe_stars != nullptr;
}
