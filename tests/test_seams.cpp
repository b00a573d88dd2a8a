// test_seams.cpp -- what a viewer or a new user meets first: rounding of a start, the sound word.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "display/demo_rand.h"
#include "gfx2d/tables.h"
#include "test_capture_child.h"

// A start whose single-precision rounding matters: GCC's SLP vectoriser dropped the rounding of
// the target to float and gave 238.10162353515625 here.
TEST(ParticleStarts, TargetRoundedToSinglePrecisionBeforeTheDistance)
{
    std::vector<Particle> p(1);
    demo_srand(3);
    make_particle_starts(p.data(), 1);
    EXPECT_EQ(double(p[0].distance_left), 238.1016082763672);
}

// The sound set-up reads its answer from the user; a capture has no sound device to choose and
// must not wait for one (stdin at its end here would cancel the set-up and fail the start).
TEST(CommandLine, SoundWordInCaptureIsSkipped)
{
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    EXPECT_EQ(
        run_capture_child({ "sound", "--capture=null", "--seconds=0.1", "--data=" + song_folder(false) }).exit_code, 0);
}
