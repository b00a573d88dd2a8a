// main.cpp -- program entry: hands the arguments to the demo.
// SDL.h is included for its Windows entry point, which gives main the arguments in UTF-8.
#include <SDL.h>

#include "app/platform.h"
#include "app/startup.h"

int main(int argc, char** argv)
{
    platform_attach_console();
    return demo_main(argc, argv);
}
