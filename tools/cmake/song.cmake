# song.cmake -- generates the soundtrack xm/morrowick.xm in the build directory as part of the default build.
set(MW_SONG ${CMAKE_BINARY_DIR}/xm/morrowick.xm)
add_custom_command(
  OUTPUT ${MW_SONG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/xm
  COMMAND make_song ${MW_SONG}
  DEPENDS make_song
  COMMENT "Generating the soundtrack"
  VERBATIM)
add_custom_target(song ALL DEPENDS ${MW_SONG})
