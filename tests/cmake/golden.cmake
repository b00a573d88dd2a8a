# Golden frames: tests/golden/golden_frames.cpp captures the frames listed in tests/golden/frames.txt
# and compares their hashes. Its own program (not a test_*.cpp) with its own test rule and time
# limit. It runs in both builds of the test command: the Clang sanitizer build gives the same
# pixels as the optimised GCC build (no FMA contraction, no fast-math in either), and there it
# also checks the whole demo's drawing for memory errors and undefined behaviour.
#   ctest -R golden_frames                       compare
#   cmake --build <build> --target golden_update  rewrite the hashes after an intended change
add_executable(golden_frames ${CMAKE_SOURCE_DIR}/tests/golden/golden_frames.cpp)
target_include_directories(golden_frames PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(golden_frames PRIVATE morrowick_tools GTest::gtest GTest::gtest_main)
target_compile_definitions(golden_frames PRIVATE
  MW_SOURCE_DIR="${CMAKE_SOURCE_DIR}" MW_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_test(NAME golden_frames COMMAND golden_frames)
set_tests_properties(golden_frames PROPERTIES
  ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy"
  TIMEOUT 600)
add_custom_target(golden_update
  COMMAND ${CMAKE_COMMAND} -E env MW_GOLDEN_UPDATE=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
    $<TARGET_FILE:golden_frames>
  DEPENDS golden_frames
  USES_TERMINAL
  COMMENT "Rewriting tests/golden/frames.txt from this build")
