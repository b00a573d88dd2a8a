# The live keys under a virtual X server (only when xvfb-run, openbox, xwd, xdotool and ffmpeg exist):
#   x11_keys_session   scripts/keys_session.sh presses F1, Space, Right, PgDn and F12 in a full-screen
#                      8-bit run and checks the screenshots, the jump log and the saved PNG
find_program(MW_XVFB_RUN xvfb-run)
find_program(MW_OPENBOX openbox)
find_program(MW_XWD xwd)
find_program(MW_XDOTOOL xdotool)
find_program(MW_FFMPEG ffmpeg)
if(MW_XVFB_RUN AND MW_OPENBOX AND MW_XWD AND MW_XDOTOOL AND MW_FFMPEG)
  add_test(NAME x11_keys_session
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/keys_session.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/keys_session)
  set_tests_properties(x11_keys_session PROPERTIES TIMEOUT 180 RUN_SERIAL TRUE)
endif()
