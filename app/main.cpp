// main.cpp -- program entry: hands the arguments to the demo.
#include "app/startup.h"

int main(int argc, char** argv)
{
    return demo_main(argc, argv);
}
