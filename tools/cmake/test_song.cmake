# test_song.cmake -- generates the small test module into testdata/xm/ (a --data= folder for tests).
set(MW_TEST_SONG ${CMAKE_BINARY_DIR}/testdata/xm/morrowick.xm)
add_custom_command(
  OUTPUT ${MW_TEST_SONG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/testdata/xm
  COMMAND make_test_song ${MW_TEST_SONG}
  DEPENDS make_test_song
  COMMENT "Generating the test song"
  VERBATIM)
add_custom_target(test_song ALL DEPENDS ${MW_TEST_SONG})
