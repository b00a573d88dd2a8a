// demo_data.cpp -- demo data set-up: pictures, tables, meshes and scene records made once, in a
// fixed order, before the music starts; and the part of it that shut-down gives back.
#include "app/demo_data.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/data_file.h"
#include "display/present.h"
#include "gfx2d/tables.h"
#include "scenes/globe.h"
#include "scenes/landscape.h"
#include "scenes/scene14_zoom.h"
#include "scenes/scene16_flames.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"

namespace {
constexpr int BUMP_MAP_SIZE = 320 * 240;

template <typename T> T* allocate_zeroed(size_t count)
{
    return static_cast<T*>(std::calloc(count, sizeof(T)));
}

// Reads up to `size` bytes of the file into `out`; a shorter file leaves the rest as it was, a
// read error fails like a missing file.
int read_raw_file(const char* path, uint8_t* out, size_t size)
{
    size_t got = 0;
    return read_data_prefix(path, out, size, &got);
}

// A Surface of the given size at 32 bits, cleared, with the picture drawn at (0, 0).
Surface* surface_with_picture(int width, int height, const Image* picture)
{
    Surface* surface = create_surface(width, height, 32);
    if (!surface)
        return nullptr;
    clear_surface(surface);
    draw_image(surface, picture, 0, 0);
    return surface;
}

int load_face_set()
{
    return load_faces(&face_set, FACE_PICTURE_PATHS);
}

int make_swarm_starts()
{
    make_particle_starts(swarm_particles, PARTICLE_COUNT);
    return 1;
}

// Steps 1-3: falloff table, ring records and their colours, bump arrays.
int setup_rings_and_bump()
{
    if (!make_falloff_table())
        return 0;
    ring_table = allocate_zeroed<Ring*>(RING_COUNT);
    bump_u = allocate_zeroed<uint16_t>(TABLE_SIZE);
    bump_v = allocate_zeroed<uint16_t>(TABLE_SIZE);
    bump_heights = allocate_zeroed<uint8_t>(BUMP_MAP_SIZE);
    ring_colours = allocate_zeroed<uint32_t>(RING_COUNT);
    if (!ring_table || !bump_u || !bump_v || !bump_heights || !ring_colours)
        return 0;
    for (int i = 0; i < RING_COUNT; ++i) {
        Ring* ring = allocate_zeroed<Ring>(1);
        if (!ring)
            return 0;
        ring->x = 258.0;
        ring->y = 165.0;
        ring->radius = 30.0;
        ring_table[i] = ring;
        ring_colours[i] = 0xFFFFFFFFu;
    }
    if (!read_raw_file("./data/bump.raw", bump_heights, BUMP_MAP_SIZE))
        return 0;
    make_bump_tables(bump_heights, bump_u, bump_v, 1);
    return 1;
}

// Steps 6-12: the pictures of the rings, the credits wall and the title; the upsbot and warper
// Surfaces.
int setup_pictures()
{
    if (!(ringface_picture = load_acg_file("./data/ringface.acg")))
        return 0;
    if (!(bottle_picture = load_acg_file("./data/bottle.acg")))
        return 0;

    if (!(ribbons = allocate_zeroed<Ribbon>(RIBBON_COUNT)))
        return 0;
    twist_u = allocate_zeroed<uint16_t>(TABLE_SIZE);
    twist_v = allocate_zeroed<uint16_t>(TABLE_SIZE);
    if (!twist_u || !twist_v)
        return 0;
    make_twist_tables(twist_u, twist_v, 2.5e-5f, 320, 240);

    if (!(credits_picture = load_acg_file("./data/credits.acg")))
        return 0;
    if (!(crd1_picture = load_acg_file("./data/crd1.acg")))
        return 0;
    if (!(crd2_picture = load_acg_file("./data/crd2.acg")))
        return 0;
    if (!(bricks_picture = load_acg_file("./data/bricks.acg")))
        return 0;
    Image* upsbot = load_acg_file("./data/upsbot.acg");
    if (!upsbot)
        return 0;
    if (!(upsbot_surface = surface_with_picture(upsbot->width, upsbot->height, upsbot)))
        return 0;
    destroy_image(upsbot);

    if (!(title_picture = load_acg_file("./data/title.acg")))
        return 0;

    // The lens warp reads a 320 x 480 source whatever the picture's size, so the Surface has
    // that size and the picture is drawn into it clipped.
    Image* warper = load_acg_file("./data/warper.acg");
    if (!warper)
        return 0;
    if (!(warper_surface = surface_with_picture(WARPER_WIDTH, WARPER_HEIGHT, warper)))
        return 0;
    destroy_image(warper);
    return 1;
}

// Steps 13-15: bottle mesh, shared matrix, lens tables.
int setup_bottle()
{
    if (!(bottle_mesh = load_ma("./data/bottlemosh.ma")))
        return 0;
    if (!(shared_matrix = allocate_zeroed<Matrix>(1)))
        return 0;
    mat_identity(shared_matrix);
    lens_u = allocate_zeroed<uint16_t>(TABLE_SIZE);
    lens_v = allocate_zeroed<uint16_t>(TABLE_SIZE);
    if (!lens_u || !lens_v)
        return 0;
    make_lens_tables(lens_u, lens_v, 1.4f, 5.0f, 7.0f, 320, 480);
    return 1;
}

// Steps 16-19: the balls with their textures, and the flash light.
int setup_balls()
{
    static const char* const paths[BALL_COUNT] = { "./data/blam1.acg", "./data/blam2.acg", "./data/blam3.acg" };
    Image* pictures[BALL_COUNT] = {};
    for (int i = 0; i < BALL_COUNT; ++i)
        if (!(pictures[i] = load_acg_file(paths[i])))
            return 0;

    if (!(balls = allocate_zeroed<Ball>(BALL_COUNT)))
        return 0;
    for (int i = 0; i < BALL_COUNT; ++i)
        if (!(balls[i].texture = allocate_zeroed<uint32_t>(BALL_TEXTURE_WORDS)))
            return 0;
    for (int i = 0; i < BALL_COUNT; ++i) {
        balls[i].texture_width = BALL_TEXTURE_WIDTH;
        balls[i].texture_height = BALL_TEXTURE_HEIGHT;
    }

    Surface* canvas = create_surface(BALL_TEXTURE_WIDTH, BALL_TEXTURE_HEIGHT, 32);
    if (!canvas)
        return 0;
    for (int i = 0; i < BALL_COUNT; ++i) {
        clear_surface(canvas);
        draw_image(canvas, pictures[i], 0, 0);
        for (int y = 0; y < BALL_TEXTURE_HEIGHT; ++y)
            std::memcpy(balls[i].texture + y * BALL_TEXTURE_WIDTH, surface_row32(canvas, y),
                BALL_TEXTURE_WIDTH * sizeof(uint32_t));
    }
    destroy_surface(canvas);
    for (Image* picture : pictures)
        destroy_image(picture);

    return (flash_light = allocate_zeroed<FlashLight>(1)) != nullptr;
}
} // namespace

SceneLoader scene_loaders[SCENE_LOADER_COUNT] = {
    load_road_set, // road meshes (scene 5)
    load_face_set, // face pictures and records (scene 7)
    load_globe_assets, // globe pictures and stars (scene 9)
    load_picture_zoom, // scene 14
    load_closing_flames, // scene 16
    load_landscape, // height and colour maps, greetings (scene 13)
    load_running_animation, // scene 8
    make_swarm_starts, // swarm records (scene 11)
    allocate_depth_buffer, // 3D drawing
};

int setup_demo_data()
{
    if (!setup_rings_and_bump())
        return 0;
    if (!setup_pictures())
        return 0;
    if (!setup_bottle())
        return 0;
    if (!setup_balls())
        return 0;
    for (SceneLoader loader : scene_loaders)
        if (!loader())
            return 0;
    return 1;
}

void release_demo_data()
{
    std::free(bump_u);
    std::free(bump_v);
    std::free(bump_heights);
    bump_u = bump_v = nullptr;
    bump_heights = nullptr;
    if (ring_table) {
        for (int i = 0; i < RING_COUNT; ++i)
            std::free(ring_table[i]);
        std::free(ring_table);
        ring_table = nullptr;
    }
}
