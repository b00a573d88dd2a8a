// test_seams.cpp -- what a viewer or a new user meets first: start frames, rounding, options.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "app/command_line.h"
#include "display/demo_rand.h"
#include "display/present.h"
#include "display/surface.h"
#include "gfx2d/tables.h"

namespace {

const std::string PROGRAM = std::string(MW_BINARY_DIR) + "/morrowick";

struct ProgramRun {
    int status = -1;
    std::string output; // stdout and stderr together
};

// Starts the program through the shell (environment and redirections in `prefix`/`suffix`).
FILE* start(const std::string& prefix, const std::string& args)
{
    const std::string command = prefix + " '" + PROGRAM + "' " + args + " --data='" + MW_BINARY_DIR + "' 2>&1";
    return popen(command.c_str(), "r");
}

ProgramRun finish(FILE* pipe)
{
    ProgramRun run;
    if (!pipe)
        return run;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string hash_line(const std::string& output)
{
    const size_t at = output.find("frames ");
    return at == std::string::npos ? std::string() : output.substr(at, output.find('\n', at) - at);
}

} // namespace

// Every start shows only what the program drew: the first 20 drawn frames (after the 63 frames
// of the start-up pause) come out the same when the allocator hands out memory full of 0xAA
// (glibc's MALLOC_PERTURB_, and the sanitizer's own fill in the sanitizer build).
TEST(StartFrames, IdenticalWhateverTheAllocatorLeftInMemory)
{
    const char* const starts[]
        = { "", "part2", "part3", "part4", "part5", "part6", "part7", "part8", "part9", "part10", "part11", "part12" };
    const std::string args = " --capture=null --seconds=2.656"; // 83 frames
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string perturb = std::string("MALLOC_PERTURB_=85 ASAN_OPTIONS='") + (asan ? asan : "")
        + ":malloc_fill_byte=170:max_malloc_fill_size=1073741824'";
    for (const char* word : starts) {
        FILE* plain = start("", word + args);
        FILE* filled = start(perturb, word + args);
        const ProgramRun a = finish(plain);
        const ProgramRun b = finish(filled);
        ASSERT_EQ(a.status, 0) << word << "\n" << a.output;
        ASSERT_EQ(b.status, 0) << word << "\n" << b.output;
        EXPECT_NE(hash_line(a.output), "");
        EXPECT_EQ(hash_line(a.output), hash_line(b.output)) << "start word '" << word << "'";
    }
}

// A start whose single-precision rounding matters: GCC's SLP vectoriser dropped the rounding of
// the target to float and gave 238.10162353515625 here.
TEST(ParticleStarts, TargetRoundedToSinglePrecisionBeforeTheDistance)
{
    std::vector<Particle> p(1);
    demo_srand(3);
    make_particle_starts(p.data(), 1);
    EXPECT_EQ(double(p[0].distance_left), 238.1016082763672);
}

TEST(Dithering, EmptySourceMaskHasNoCarryBit)
{
    Surface* source = create_surface(1, 1, 32);
    Surface* display = create_surface(1, 1, 16); // 5:6:5
    ASSERT_TRUE(source && display);
    set_pixel_format(source, 0xFF0000, 0, 0xFF);
    set_surface_flags(source, SURFACE_DITHER);
    select_converter(source, display);
    EXPECT_EQ(conversion.carry, 0x1000100u);
    destroy_surface(source);
    destroy_surface(display);
}

TEST(CommandLine, OptionCorners)
{
    const struct {
        const char* arg;
        bool ok;
        const char* error; // part of the message
    } cases[] = {
        { "--data", false, "--data needs a value" },
        { "--seconds", false, "--seconds needs a value" },
        { "--scale", false, "--scale needs a value" },
        { "--capture", false, "--capture needs a value" },
        { "--seed=7", false, "--seed needs --capture" },
        { "--fps=30", false, "--fps needs --capture" },
        { "--sheet", false, "--sheet needs --capture" },
        { "--datum=x", false, "unknown option --datum=x" },
        { "--seconds=0.0004", true, "" },
    };
    for (const auto& c : cases) {
        const char* argv[] = { "morrowick", c.arg };
        ExtraOptions extra;
        std::string line;
        EXPECT_EQ(split_arguments(2, argv, &extra, &line), c.ok) << c.arg;
        EXPECT_NE(extra.error.find(c.error), std::string::npos) << c.arg << ": " << extra.error;
    }
    // A live limit never rounds to "none": at least one 32 ms tick.
    EXPECT_EQ(run_time_limit_ms(0.0004), 32u);
    EXPECT_EQ(run_time_limit_ms(0.0315), 32u);
    EXPECT_EQ(run_time_limit_ms(1.5), 1500u);
    EXPECT_EQ(run_time_limit_ms(0), 0u);

    for (const char* item : { "--data=", "--scale=", "--seconds=", "--mute", "--verbose",
             "--capture=", "--seed=", "--fps=", "--sheet", "--help", "--version", "exit status", " 2 ", "255" })
        EXPECT_NE(std::strstr(USAGE_TEXT, item), nullptr) << item;
}

// The sound set-up reads its answer from the user; a capture has no sound device to choose and
// must not wait for one (stdin at its end here would cancel the set-up and fail the start).
TEST(CommandLine, SoundWordInCaptureIsSkippedWithOneLine)
{
    const ProgramRun run = finish(start("", "sound --capture=null --seconds=0.1 </dev/null"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("sound set-up is skipped"), std::string::npos) << run.output;
}
