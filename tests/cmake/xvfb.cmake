# Under a virtual X server with a window manager (only when xvfb-run, openbox and xwd exist):
#   x11_screenshots   the window shows the frame 3x pixel for pixel, full screen letterboxes it 4x
#                     (also needs ffmpeg, which decodes the screenshots)
#   x11_program_run   the program runs in a window on the generated data and exits 0
#   x11_vsync_timing  a 10 s run asked to present with vsync (SDL_RENDER_VSYNC=1) stops after
#                     10 s (at the end of the frame in progress, within 1 s) and its scenes have
#                     counted the run's time to the tick: the tick timer, not the display, paces
#                     the demo
find_program(MW_XVFB_RUN xvfb-run)
find_program(MW_OPENBOX openbox)
find_program(MW_XWD xwd)
find_program(MW_FFMPEG ffmpeg)
if(MW_XVFB_RUN AND MW_OPENBOX AND MW_XWD)
  set(MW_XVFB_SCREEN "-screen 0 1280x1024x24")
  if(MW_FFMPEG)
    add_test(NAME x11_screenshots
      COMMAND ${MW_XVFB_RUN} -a -s ${MW_XVFB_SCREEN} sh -c
        "${MW_OPENBOX} >/dev/null 2>&1 & sleep 1; SDL_VIDEODRIVER=x11 MW_X11_SCREENSHOT=1 \"$0\" --gtest_filter=*UnderX11"
        $<TARGET_FILE:test_display_device>)
    set_tests_properties(x11_screenshots PROPERTIES
      ENVIRONMENT "SDL_AUDIODRIVER=dummy" TIMEOUT 120 RUN_SERIAL TRUE)
  endif()
  add_test(NAME x11_program_run
    COMMAND ${MW_XVFB_RUN} -a -s ${MW_XVFB_SCREEN} sh -c
      "${MW_OPENBOX} >/dev/null 2>&1 & sleep 1; SDL_VIDEODRIVER=x11 \"$0\" window --seconds=3 --data=\"$1\""
      $<TARGET_FILE:morrowick> ${CMAKE_BINARY_DIR}/smoke_data)
  add_test(NAME x11_vsync_timing
    COMMAND ${MW_XVFB_RUN} -a -s ${MW_XVFB_SCREEN} sh -c
      "${MW_OPENBOX} >/dev/null 2>&1 & sleep 1; out=$(SDL_VIDEODRIVER=x11 SDL_RENDER_VSYNC=1 \"$0\" window --mute --seconds=10 --verbose --data=\"$1\") || exit 1; echo \"$out\" | tail -n 1; echo \"$out\" | awk '$3 == \"end:\" { scene = $4 * 32; run = $13 * 1000; found = 1 } END { d = scene - run; exit !(found && run >= 10000 && run < 11000 && d <= 32 && d >= -32) }'"
      $<TARGET_FILE:morrowick> ${CMAKE_BINARY_DIR})
  # After the smoke run, which assembles smoke_data/.
  set_tests_properties(x11_program_run PROPERTIES DEPENDS morrowick_smoke)
  set_tests_properties(x11_program_run x11_vsync_timing PROPERTIES
    ENVIRONMENT "SDL_AUDIODRIVER=dummy" TIMEOUT 120 RUN_SERIAL TRUE)
endif()
