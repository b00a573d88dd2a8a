// globe.cpp -- scene 9: the globe's assets, its texture composition and drawing, and the scene.
#include "scenes/globe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "app/demo.h"
#include "display/numeric.h"
#include "display/pixel.h"
#include "display/present.h"
#include "display/surface.h"
#include "effects/light.h"
#include "effects/stars.h"
#include "gfx2d/image.h"
#include "scenes/scene_data.h"

Globe* globe = nullptr;
Surface* globe_surface_map = nullptr;
Surface* globe_clouds = nullptr;
Surface* globe_light_map = nullptr;
StarField* globe_stars = nullptr;

namespace {

constexpr int GLOBE_ROW = 320; // width of the buffer draw_globe draws into
constexpr int GLOBE_ROWS = 200; // the globe never reaches the bottom 40 rows
constexpr uint32_t SUN_COLOUR = 0x00FFFFFFu;

// (x * fx >> 8) + (y * fy >> 8) for red, green and blue, each product shifted on its own, two
// channels per word; top byte 0. Factors up to 256 keep every lane below 65536, and with
// fx + fy <= 257 no channel sum exceeds 255, so nothing carries between channels.
inline uint32_t blend_pair(uint32_t x, uint32_t fx, uint32_t y, uint32_t fy)
{
    const uint32_t rb
        = (((x & PIXEL_RB_MASK) * fx >> 8) & PIXEL_RB_MASK) + (((y & PIXEL_RB_MASK) * fy >> 8) & PIXEL_RB_MASK);
    const uint32_t g
        = (((x & PIXEL_G_MASK) * fx >> 8) & PIXEL_G_MASK) + (((y & PIXEL_G_MASK) * fy >> 8) & PIXEL_G_MASK);
    return rb | g;
}

// Into -1..1; NaN gives -1.
inline double clamp_unit(double v)
{
    return v >= -1.0 ? (v <= 1.0 ? v : 1.0) : -1.0;
}

// Into 0..top; INT32_MIN (a NaN or huge value truncated) gives 0.
inline int clamp_index(int v, int top)
{
    return std::clamp(v, 0, top);
}

} // namespace

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

void compose_globe_texture(
    uint32_t* out, const uint32_t* surface_map, const uint32_t* clouds, const uint32_t* light_map, int a, int b)
{
    // Each product is shifted on its own, two channels per word; no lane exceeds 255 after the
    // sums, so nothing carries between channels.
    for (int i = 0; i < GLOBE_TEXTURE_HEIGHT; ++i) {
        const uint32_t* map_row = surface_map + i * GLOBE_TEXTURE_WIDTH;
        const uint32_t* cloud_row = clouds + i * GLOBE_TEXTURE_WIDTH;
        const uint32_t* light_row = light_map + i * GLOBE_TEXTURE_WIDTH;
        uint32_t* out_row = out + i * GLOBE_TEXTURE_WIDTH;
        for (int j = 0; j < GLOBE_TEXTURE_WIDTH; ++j) {
            const uint32_t w = map_row[(j + a) & (GLOBE_TEXTURE_WIDTH - 1)];
            const uint32_t k = cloud_row[(j + b) & (GLOBE_TEXTURE_WIDTH - 1)];
            const uint32_t q = light_row[j];
            const uint32_t fc = k >> 24;
            const uint32_t m = blend_pair(w, 256 - fc, k, fc + 1);
            const uint32_t fl = q >> 24;
            out_row[j] = blend_pair(q, fl + 1, m, 256 - fl);
        }
    }
}

void draw_globe(uint32_t* pixels, const Globe* g)
{
    const double cx = g->centre.x;
    const double cy = g->centre.y;
    const double r = std::sqrt(g->radius.x * g->radius.x + g->radius.y * g->radius.y + g->radius.z * g->radius.z);
    const double inv = 1.0 / (r + 0.000001);
    double axis[3][3];
    for (int k = 0; k < 3; ++k) {
        axis[k][0] = g->axis[k].x * inv;
        axis[k][1] = g->axis[k].y * inv;
        axis[k][2] = g->axis[k].z * inv;
    }
    const double su = double(g->texture_width >> 1) / std::numbers::pi;
    const double sv = double(g->texture_height) / std::numbers::pi;
    const int max_u = g->texture_width - 1;
    const int max_v = g->texture_height - 1;
    const double r2 = r * r;

    const int y0 = std::max(0, trunc_i32(cy - r));
    const int y1 = std::min(GLOBE_ROWS, trunc_i32(cy + r + 1.5));
    for (int y = y0; y < y1; ++y) {
        const double dy = double(y) - cy;
        const double h = r2 - dy * dy;
        if (h < 0.0)
            continue;
        const double root = std::sqrt(h);
        const int x0 = std::max(0, trunc_i32(cx - root));
        const int x1 = std::min(GLOBE_ROW, trunc_i32(cx + root + 1.5));
        if (x0 >= x1)
            continue;
        const double row_x = dy * axis[1][0];
        const double row_y = dy * axis[1][1];
        const double row_z = dy * axis[1][2];
        // The dx terms are accumulated: the first pixel's dx times A0, then A0 once per pixel.
        const double first_dx = double(x0) - cx;
        double acc_x = first_dx * axis[0][0];
        double acc_y = first_dx * axis[0][1];
        double acc_z = first_dx * axis[0][2];
        uint32_t* row = pixels + y * GLOBE_ROW;
        for (int x = x0; x < x1; ++x, acc_x += axis[0][0], acc_y += axis[0][1], acc_z += axis[0][2]) {
            const double dx = double(x) - cx;
            const double q = r2 - dx * dx - dy * dy;
            if (q < 0.0)
                continue;
            const double depth = std::sqrt(q);
            const double rim = r - std::sqrt(r2 - q);
            const double px = acc_x + row_x + depth * axis[2][0];
            const double py = acc_y + row_y + depth * axis[2][1];
            const double pz = acc_z + row_z + depth * axis[2][2];

            // The clamps only matter where rounding leaves the unit ranges at the poles and
            // the ends of the texture; NaN falls to the low bound.
            const double latitude = std::asin(clamp_unit(pz));
            double longitude = std::acos(clamp_unit(px / std::cos(latitude)));
            if (py < 0.0)
                longitude = 2.0 * std::numbers::pi - longitude;
            const int v = clamp_index(trunc_i32((latitude + std::numbers::pi / 2.0) * sv), max_v);
            const int u = clamp_index(trunc_i32(longitude * su), max_u);
            const uint32_t texel = g->texture[v * g->texture_width + u];

            if (rim >= 1.5) {
                row[x] = texel;
            } else {
                // The outer 1.5 pixels fade from the texture into the background.
                const uint32_t k = uint32_t(trunc_i32(255.0 - 170.0 * rim));
                row[x] = blend_pair(row[x], k + 1, texel, 256 - k);
            }
        }
    }
}

namespace {

void step_globe(GlobeRun* run)
{
    run->theta += 0.05;
    // Restarts at exactly 0 rather than wrapping by 2 pi: the orbit jumps once per turn.
    if (run->theta >= 2.0 * std::numbers::pi)
        run->theta = 0.0;
    if (globe->radius.x > 25.0)
        globe->radius.x -= 0.5;
    if (globe->centre.x < 160.0)
        globe->centre.x += 0.5;
    run->surface_scroll = (run->surface_scroll + 2) & 255;
    if (--run->cloud_scroll < 0)
        run->cloud_scroll = 255;
}

void draw_sun(const GlobeRun* run)
{
    const double z = single(run->sun.z);
    const double sx = run->sun.x * 150.0 / z + 160.0;
    const double sy = run->sun.y * 150.0 / z + 120.0;
    draw_glow(frame_surface, single(sx), single(sy), single(6000.0 / z), 20.0f, SUN_COLOUR);
}

} // namespace

void start_globe_run(GlobeRun* run)
{
    *run = GlobeRun {};
    run->target = Vec4 { 0.0, 0.0, 100.0, 1.0 };
    run->theta = 0.0;
    run->surface_scroll = 0;
    run->cloud_scroll = 255;
    globe->radius.x = 75.0;
    globe->centre.x = 110.0;
}

void globe_frame(GlobeRun* run, uint32_t ticks)
{
    // One less is stored and counted down: one step per elapsed tick.
    elapsed_ticks = ticks > 0 ? ticks - 1 : 0;
    for (;;) {
        step_globe(run);
        if (elapsed_ticks == 0)
            break;
        --elapsed_ticks;
    }

    Camera* camera = &run->camera;
    camera->angle_z = run->theta;
    camera->offset_x = 100.0 * std::cos(run->theta);
    camera->offset_z = 101.0 * std::sin(run->theta) - 100.0;
    run->sun = Vec4 { 300.0, 0.0, 100.0, 1.0 };

    // The sun is moved by the camera's offset, then turned with the stars by its rotation.
    Matrix* m = shared_matrix;
    mat_identity(m);
    aim_camera(camera, &run->target);
    m->m[3] = camera->offset_x;
    m->m[11] = camera->offset_z;
    transform_points(m, &run->sun, 1);
    mat_identity(m);
    mat_rotate(m, camera);
    transform_points(m, &run->sun, 1);
    transform_stars(globe_stars, m);

    for (int c = 0; c < 3; ++c) {
        const double sign = c == 2 ? 1.0 : -1.0;
        globe->axis[c].x = sign * m->m[4 * c + 0];
        globe->axis[c].y = sign * m->m[4 * c + 1];
        globe->axis[c].z = sign * m->m[4 * c + 2];
    }

    clear_surface(frame_surface);
    draw_stars(globe_stars, frame_surface);
    // By its depth the sun lies behind the globe, in front of it, or behind the viewer.
    if (run->sun.z >= 100.0)
        draw_sun(run);
    compose_globe_texture(globe->texture, surface_row32(globe_surface_map, 0), surface_row32(globe_clouds, 0),
        surface_row32(globe_light_map, 0), run->surface_scroll, run->cloud_scroll);
    draw_globe(surface_row32(frame_surface, 0), globe);
    if (run->sun.z > 0.0 && run->sun.z < 100.0)
        draw_sun(run);
}

void leave_globe_scene()
{
    clear_surface(work_surface_1);
    draw_stars(globe_stars, work_surface_1);
}

void globe_scene()
{
    if (!globe || !globe_stars || !shared_matrix)
        return;
    GlobeRun run;
    start_globe_run(&run);
    while (scene_keeps_running(9, 9)) {
        globe_frame(&run, wait_tick());
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
    // Scene 10 starts on these stars, also when this scene ends before its first frame.
    leave_globe_scene();
}
