// song_render.cpp -- renders a module with libopenmpt and notes where each sync row starts.
#include "tools/song/song_render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>
#include <memory>

namespace {

// Parameter of the W effect on (pattern, row), or -1.
int sync_on_row(openmpt::module* mod, int pattern, int row, int sync_channel)
{
    int first = sync_channel < 0 ? 0 : sync_channel;
    int last = sync_channel < 0 ? mod->get_num_channels() - 1 : sync_channel;
    for (int ch = first; ch <= last; ch++) {
        // The numeric effect code is internal to libopenmpt; its letter is stable.
        if (mod->format_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_effect) == "W")
            return mod->get_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_parameter);
    }
    return -1;
}

void put_u32(FILE* f, uint32_t v)
{
    uint8_t b[4] = { uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24) };
    fwrite(b, 1, 4, f);
}

void put_u16(FILE* f, uint16_t v)
{
    uint8_t b[2] = { uint8_t(v), uint8_t(v >> 8) };
    fwrite(b, 1, 2, f);
}

} // namespace

bool render_song(const std::vector<uint8_t>& module, int rate, int sync_channel, SongRender* out, int repeats,
    uint32_t solo_channels)
{
    std::unique_ptr<openmpt::module_ext> mod;
    try {
        mod = std::make_unique<openmpt::module_ext>(module);
    } catch (...) {
        return false;
    }
    mod->set_repeat_count(repeats);
    if (solo_channels) {
        auto* interactive = static_cast<openmpt::ext::interactive*>(mod->get_interface(openmpt::ext::interactive_id));
        if (!interactive)
            return false;
        for (int ch = 0; ch < mod->get_num_channels(); ch++)
            interactive->set_channel_mute_status(ch, !(solo_channels >> ch & 1u));
    }
    mod->ctl_set_integer("dither", 0);
    *out = SongRender();
    out->rate = rate;
    out->tracker = mod->get_metadata("tracker");
    out->instrument_count = mod->get_num_instruments();
    out->sample_count = mod->get_num_samples();
    out->channel_count = mod->get_num_channels();
    out->duration = mod->get_duration_seconds();

    // Small chunks so a row start is located to within a millisecond.
    const int chunk = rate / 1000;
    std::vector<float> buffer(size_t(chunk) * 2);
    int last_order = -1, last_row = -1;
    size_t frames = 0;
    for (;;) {
        int order = mod->get_current_order();
        int row = mod->get_current_row();
        if ((order != last_order || row != last_row) && !(frames > 0 && order == 0 && row == 0 && repeats == 0)) {
            int pattern = mod->get_order_pattern(order);
            int value = pattern >= 0 ? sync_on_row(mod.get(), pattern, row, sync_channel) : -1;
            if (value >= 0)
                out->syncs.push_back({ value, order, row, double(frames) / rate });
            last_order = order;
            last_row = row;
        }
        size_t got = mod->read_interleaved_stereo(rate, size_t(chunk), buffer.data());
        if (got == 0)
            break;
        out->stereo.insert(out->stereo.end(), buffer.begin(), buffer.begin() + long(got) * 2);
        frames += got;
    }
    return true;
}

bool write_wav(const std::string& path, const std::vector<float>& stereo, int rate)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    uint32_t data_bytes = uint32_t(stereo.size() * 2);
    fwrite("RIFF", 1, 4, f);
    put_u32(f, 36 + data_bytes);
    fwrite("WAVEfmt ", 1, 8, f);
    put_u32(f, 16);
    put_u16(f, 1); // PCM
    put_u16(f, 2);
    put_u32(f, uint32_t(rate));
    put_u32(f, uint32_t(rate) * 4);
    put_u16(f, 4);
    put_u16(f, 16);
    fwrite("data", 1, 4, f);
    put_u32(f, data_bytes);
    for (float v : stereo) {
        long s = std::lround(std::clamp(double(v), -1.0, 1.0) * 32767.0);
        put_u16(f, uint16_t(int16_t(s)));
    }
    return std::fclose(f) == 0;
}
