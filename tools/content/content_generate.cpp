// content_generate.cpp -- runs every content module and writes the data files through the format encoders.
#include "tools/content/content_generate.h"

#include "tools/formats/acg_writer.h"
#include "tools/formats/anim_writer.h"
#include "tools/content/content_anims.h"
#include "tools/content/content_maps.h"
#include "tools/content/content_meshes.h"
#include "tools/content/content_pictures.h"
#include "tools/content/content_preview.h"

#include <cstdio>

const std::vector<std::string>& content_file_names()
{
    static const std::vector<std::string> names = {
        "bump.raw",
        "ringface.acg",
        "bottle.acg",
        "credits.acg",
        "crd1.acg",
        "crd2.acg",
        "bricks.acg",
        "upsbot.acg",
        "title.acg",
        "warper.acg",
        "bottlemosh.ma",
        "blam1.acg",
        "blam2.acg",
        "blam3.acg",
        "footpath.ma",
        "box1.ma",
        "box2.ma",
        "road.ma",
        "conerow.ma",
        "chickcone.ma",
        "roadline.ma",
        "face1.acg",
        "face2.acg",
        "face3.acg",
        "world.acg",
        "clouds.acg",
        "light.acg",
        "riptlt.acg",
        "quenvask.acg",
        "endtext1.acg",
        "boxflame.pal",
        "boxflame.rlm",
        "vheight.raw",
        "vcol.raw",
        "greets.acg",
        "run.pal",
        "run.rlm",
        "dtitle.acg",
        "dq.acg",
        "da.acg",
        "dlast.acg",
    };
    return names;
}

namespace {

bool fail(const std::string& what)
{
    std::fprintf(stderr, "make_content: cannot write %s\n", what.c_str());
    return false;
}

bool put(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes,
    std::vector<ContentFileInfo>* written)
{
    if (!write_file_bytes(dir + "/" + name, bytes.data(), bytes.size()))
        return fail(dir + "/" + name);
    written->push_back({ name, bytes.size() });
    return true;
}

bool write_animation(const std::string& dir, const ContentAnimation& anim, std::vector<ContentFileInfo>* written)
{
    std::vector<uint8_t> pal, rlm;
    encode_pal(anim.palette, &pal);
    for (const std::vector<uint8_t>& f : anim.frames)
        encode_rlm_frame(f.data(), int(f.size()), &rlm);
    return put(dir, anim.palette_name, pal, written) && put(dir, anim.name, rlm, written);
}

} // namespace

int generate_content(
    const std::string& out_dir, uint64_t seed, const std::string& preview_dir, std::vector<ContentFileInfo>* written)
{
    std::vector<ContentPicture> pictures;
    if (!make_pictures(seed, &pictures)) {
        std::fprintf(stderr, "make_content: cannot open the DejaVu fonts in /usr/share/fonts/truetype/dejavu\n");
        return -1;
    }
    make_planet_maps(seed, &pictures);
    for (const ContentPicture& p : pictures) {
        std::vector<uint8_t> bytes;
        if (!encode_acg(p.argb.data(), p.width, p.height, &bytes) || !put(out_dir, p.name, bytes, written))
            return -1;
        if (!preview_dir.empty())
            argb_write_preview(p.argb.data(), p.width, p.height, preview_dir + "/" + p.name + ".png");
    }

    ContentRaw bump, heights, colours;
    if (!make_bump_map(seed, &bump))
        return -1;
    make_landscape(seed, &heights, &colours);
    for (const ContentRaw* r : { &bump, &heights, &colours }) {
        if (!put(out_dir, r->name, r->bytes, written))
            return -1;
        if (!preview_dir.empty())
            preview_raw(r->bytes.data(), r->width, r->height, r->channels, preview_dir + "/" + r->name + ".png");
    }

    ContentAnimation fire, run;
    make_fire(seed, &fire);
    make_runner(seed, &run);
    for (const ContentAnimation* a : { &fire, &run }) {
        if (!write_animation(out_dir, *a, written))
            return -1;
        if (!preview_dir.empty())
            preview_animation(a, preview_dir + "/" + a->name + ".png");
    }

    std::vector<ContentMesh> meshes;
    make_road_set(seed, &meshes);
    meshes.emplace_back();
    make_bottle_mesh(seed, &meshes.back());
    for (const ContentMesh& m : meshes) {
        std::vector<uint8_t> bytes;
        if (!encode_ma(&m.mesh, &bytes) || !put(out_dir, m.name, bytes, written))
            return -1;
        if (!preview_dir.empty())
            preview_mesh(&m.mesh, preview_dir + "/" + m.name + ".png");
    }
    return 0;
}
