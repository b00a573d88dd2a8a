// fuzz_xm.cpp -- the sound layer must load (or refuse) any byte string and render it without faults.
#include <vector>

#include "fuzz_file.h"
#include "sound/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char path[] = "/tmp/mw_fuzz_xm_XXXXXX";
    if (!write_fuzz_input(path, data, size))
        return 0;
    sound_startup();
    sound_set_option(SOUND_OPTION_OFFLINE, 1);
    sound_init();
    SoundModule* module = sound_load_module(path);
    unlink(path);
    if (module) {
        SoundPlay* play = sound_play_module(module, 0);
        sound_set_sync_callback(play, [](uint32_t, uint32_t, uint32_t) {});
        // Half a second is enough to walk the pattern and sync code; whole songs would be slow.
        std::vector<int16_t> buffer(4800 * 2);
        for (int i = 0; i < 5 && sound_render_offline(play, buffer.data(), 4800) == 4800; ++i) { }
        sound_set_position(play, 1);
        sound_render_offline(play, buffer.data(), 4800);
        sound_stop_module(play);
        sound_free_module(module);
    }
    sound_close();
    return 0;
}
