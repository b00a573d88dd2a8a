// anim_writer.cpp -- RLM runs, PAL and raw files, and median-cut colour reduction.
#include "tools/formats/anim_writer.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "gfx2d/anim.h"
#include "tools/formats/acg_writer.h"

namespace {

void put_run(uint8_t kind_short, uint8_t kind_long, int n, std::vector<uint8_t>* out)
{
    if (n <= RLM_MAX_SHORT_RUN) {
        out->push_back(uint8_t(kind_short | n));
    } else {
        out->push_back(uint8_t(kind_long | (n >> 8)));
        out->push_back(uint8_t(n & 0xFF));
    }
}

void put_literal(const uint8_t* p, int n, std::vector<uint8_t>* out)
{
    put_run(RLM_LITERAL, RLM_LONG_LITERAL, n, out);
    out->insert(out->end(), p, p + n);
}

} // namespace

void encode_rlm_frame(const uint8_t* indices, int pixel_count, std::vector<uint8_t>* out)
{
    int pending = 0;
    int i = 0;
    while (i < pixel_count) {
        int k = 1;
        while (i + k < pixel_count && k < RLM_MAX_LONG_RUN && indices[i + k] == indices[i])
            ++k;
        // A repeat costs 2 bytes; inside a literal the same pixels cost 1 each.
        if (k >= 3 || (k == 2 && pending == 0)) {
            if (pending)
                put_literal(indices + i - pending, pending, out);
            pending = 0;
            put_run(RLM_REPEAT, RLM_LONG_REPEAT, k, out);
            out->push_back(indices[i]);
        } else {
            for (int j = 0; j < k; ++j) {
                if (pending == RLM_MAX_LONG_RUN) {
                    put_literal(indices + i + j - pending, pending, out);
                    pending = 0;
                }
                ++pending;
            }
        }
        i += k;
    }
    if (pending)
        put_literal(indices + pixel_count - pending, pending, out);
}

void encode_pal(const uint32_t* palette, std::vector<uint8_t>* out)
{
    out->assign(PAL_FILE_SIZE, 0);
    for (int i = 0; i < PAL_ENTRIES; ++i) {
        const uint32_t c = palette[255 - i];
        (*out)[3 * i] = uint8_t(c >> 16);
        (*out)[3 * i + 1] = uint8_t(c >> 8);
        (*out)[3 * i + 2] = uint8_t(c);
    }
}

bool write_pal_file(const std::string& path, const uint32_t* palette)
{
    std::vector<uint8_t> bytes;
    encode_pal(palette, &bytes);
    return write_file_bytes(path, bytes.data(), bytes.size());
}

bool write_raw_file(const std::string& path, const uint8_t* data, size_t size)
{
    return write_file_bytes(path, data, size);
}

namespace {

struct ColourCount {
    uint32_t rgb;
    uint64_t count;
};

int channel(uint32_t c, int ch)
{
    return int((c >> (16 - 8 * ch)) & 0xFF);
}

struct Box {
    size_t begin, end; // range in the colour list
    int widest; // channel with the largest extent
    int extent;
};

Box make_box(const std::vector<ColourCount>& colours, size_t begin, size_t end)
{
    Box box { begin, end, 0, -1 };
    for (int ch = 0; ch < 3; ++ch) {
        int lo = 255, hi = 0;
        for (size_t i = begin; i < end; ++i) {
            lo = std::min(lo, channel(colours[i].rgb, ch));
            hi = std::max(hi, channel(colours[i].rgb, ch));
        }
        if (hi - lo > box.extent) {
            box.extent = hi - lo;
            box.widest = ch;
        }
    }
    return box;
}

} // namespace

void quantize_frames(const std::vector<const uint32_t*>& frames, int pixels_per_frame, uint32_t palette[256],
    std::vector<std::vector<uint8_t>>* indices)
{
    std::unordered_map<uint32_t, uint64_t> histogram;
    for (const uint32_t* f : frames)
        for (int i = 0; i < pixels_per_frame; ++i)
            ++histogram[f[i] & 0x00FFFFFFu];
    std::vector<ColourCount> colours;
    colours.reserve(histogram.size());
    for (const auto& [rgb, count] : histogram)
        colours.push_back({ rgb, count });
    std::sort(colours.begin(), colours.end(), [](const ColourCount& a, const ColourCount& b) { return a.rgb < b.rgb; });

    std::fill(palette, palette + PAL_ENTRIES, 0u);
    std::unordered_map<uint32_t, uint8_t> index_of;
    if (colours.size() <= size_t(PAL_ENTRIES)) {
        for (size_t i = 0; i < colours.size(); ++i) {
            palette[i] = colours[i].rgb;
            index_of[colours[i].rgb] = uint8_t(i);
        }
    } else {
        // Median cut: split the box with the widest channel at its pixel-weighted median.
        std::vector<Box> boxes { make_box(colours, 0, colours.size()) };
        while (boxes.size() < size_t(PAL_ENTRIES)) {
            auto it = std::max_element(
                boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.extent < b.extent; });
            if (it->extent <= 0)
                break;
            Box box = *it;
            const int ch = box.widest;
            std::sort(colours.begin() + long(box.begin), colours.begin() + long(box.end),
                [ch](const ColourCount& a, const ColourCount& b) { return channel(a.rgb, ch) < channel(b.rgb, ch); });
            uint64_t total = 0;
            for (size_t i = box.begin; i < box.end; ++i)
                total += colours[i].count;
            uint64_t acc = 0;
            size_t split = box.begin + 1;
            for (size_t i = box.begin; i + 1 < box.end; ++i) {
                acc += colours[i].count;
                split = i + 1;
                if (acc * 2 >= total)
                    break;
            }
            *it = make_box(colours, box.begin, split);
            boxes.push_back(make_box(colours, split, box.end));
        }
        for (size_t b = 0; b < boxes.size(); ++b) {
            uint64_t sum[3] = {}, total = 0;
            for (size_t i = boxes[b].begin; i < boxes[b].end; ++i) {
                for (int ch = 0; ch < 3; ++ch)
                    sum[ch] += uint64_t(channel(colours[i].rgb, ch)) * colours[i].count;
                total += colours[i].count;
            }
            uint32_t c = 0;
            for (int ch = 0; ch < 3; ++ch)
                c |= uint32_t((sum[ch] + total / 2) / total) << (16 - 8 * ch);
            palette[b] = c;
        }
        // Each colour goes to its nearest palette entry (not merely its own box's mean).
        for (const ColourCount& cc : colours) {
            int best = 0;
            int64_t best_d = INT64_MAX;
            for (size_t b = 0; b < boxes.size(); ++b) {
                int64_t d = 0;
                for (int ch = 0; ch < 3; ++ch) {
                    const int64_t e = channel(cc.rgb, ch) - channel(palette[b], ch);
                    d += e * e;
                }
                if (d < best_d) {
                    best_d = d;
                    best = int(b);
                }
            }
            index_of[cc.rgb] = uint8_t(best);
        }
    }
    indices->assign(frames.size(), std::vector<uint8_t>(size_t(pixels_per_frame)));
    for (size_t f = 0; f < frames.size(); ++f)
        for (int i = 0; i < pixels_per_frame; ++i)
            (*indices)[f][size_t(i)] = index_of[frames[f][i] & 0x00FFFFFFu];
}
