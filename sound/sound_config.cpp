// sound_config.cpp -- the sound set-up dialog: pick an output device or cancel.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "sound/sound_internal.h"

namespace {

constexpr int CANCEL_BUTTON = -1;
constexpr const char* DEFAULT_OUTPUT = "Default output";

} // namespace

int sound_config_message_box(const std::vector<std::string>& names)
{
    // One button per device (or one for the default output when none are listed), then Cancel.
    size_t choices = names.empty() ? 1 : names.size();
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (size_t i = 0; i < choices; ++i) {
        SDL_MessageBoxButtonData button {};
        button.buttonid = int(i);
        button.text = names.empty() ? DEFAULT_OUTPUT : names[i].c_str();
        button.flags = i == 0 ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        buttons.push_back(button);
    }
    SDL_MessageBoxButtonData cancel {};
    cancel.buttonid = CANCEL_BUTTON;
    cancel.text = "Cancel";
    cancel.flags = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    buttons.push_back(cancel);

    SDL_MessageBoxData box {};
    box.flags = SDL_MESSAGEBOX_INFORMATION;
    box.title = "morrowick sound set-up";
    box.message = "Choose the sound output device:";
    box.numbuttons = int(buttons.size());
    box.buttons = buttons.data();
    int pressed = CANCEL_BUTTON;
    if (SDL_ShowMessageBox(&box, &pressed) != 0)
        return SOUND_CONFIG_NO_DIALOG;
    return pressed >= 0 && size_t(pressed) < choices ? pressed : -1;
}

int sound_config_text(FILE* in, FILE* out, const std::vector<std::string>& names)
{
    size_t choices = names.empty() ? 1 : names.size();
    std::fprintf(out, "Sound output devices:\n");
    for (size_t i = 0; i < choices; ++i)
        std::fprintf(out, "  %zu. %s\n", i + 1, names.empty() ? DEFAULT_OUTPUT : names[i].c_str());
    std::fprintf(out, "Choose a device (1-%zu), or press Enter to cancel: ", choices);
    std::fflush(out);
    char line[64];
    if (!std::fgets(line, sizeof line, in))
        return -1;
    char* end = nullptr;
    long choice = std::strtol(line, &end, 10);
    if (end == line)
        return -1; // empty line or no number
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')
        ++end;
    if (*end != '\0' || choice < 1 || size_t(choice) > choices)
        return -1;
    return int(choice - 1);
}
