# Smoke runs of the program itself, headless (SDL's dummy video and audio drivers):
#   morrowick_smoke          runs the demo in a window on the generated data for a few seconds, exit 0
#   morrowick_missing_song   --data naming a folder without the song: the load message and the
#                            file with the reason, exit -1
# Included from tests/CMakeLists.txt; run as a script (cmake -P) it checks one program run.
if(CMAKE_SCRIPT_MODE_FILE)
  string(REPLACE "|" ";" ARGS "${ARGS}") # arguments arrive separated by |
  if(DEFINED SMOKE_DIR)
    # The generated data beside the song: the real song once it is built, else the test song.
    file(MAKE_DIRECTORY ${SMOKE_DIR})
    file(REMOVE ${SMOKE_DIR}/data ${SMOKE_DIR}/xm)
    file(CREATE_LINK ${BINARY_DIR}/data ${SMOKE_DIR}/data SYMBOLIC)
    if(EXISTS ${BINARY_DIR}/xm/morrowick.xm)
      file(CREATE_LINK ${BINARY_DIR}/xm ${SMOKE_DIR}/xm SYMBOLIC)
    else()
      file(CREATE_LINK ${BINARY_DIR}/testdata/xm ${SMOKE_DIR}/xm SYMBOLIC)
    endif()
  endif()
  execute_process(COMMAND ${PROGRAM} ${ARGS}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT "${result}" STREQUAL "${EXPECT_RESULT}")
    message(FATAL_ERROR "exit code ${result}, expected ${EXPECT_RESULT}\nstdout:\n${out}\nstderr:\n${err}")
  endif()
  if(DEFINED EXPECT_STDERR AND NOT "${err}" STREQUAL "${EXPECT_STDERR}")
    message(FATAL_ERROR "stderr was:\n[${err}]\nexpected:\n[${EXPECT_STDERR}]")
  endif()
  return()
endif()

set(MW_SMOKE_ENV "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy")
add_test(NAME morrowick_smoke
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:morrowick>
    "-DARGS=window|--data=${CMAKE_BINARY_DIR}/smoke_data|--seconds=3|--verbose" -DEXPECT_RESULT=0
    -DSMOKE_DIR=${CMAKE_BINARY_DIR}/smoke_data -DBINARY_DIR=${CMAKE_BINARY_DIR}
    -P ${CMAKE_CURRENT_LIST_FILE})
set_tests_properties(morrowick_smoke PROPERTIES ENVIRONMENT "${MW_SMOKE_ENV}" TIMEOUT 60)

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/smoke_no_song/xm)
add_test(NAME morrowick_missing_song
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:morrowick>
    "-DARGS=window|--data=${CMAKE_BINARY_DIR}/smoke_no_song" -DEXPECT_RESULT=255
    "-DEXPECT_STDERR=MIDAS error: couldn't load module (yay)\nmorrowick: xm/morrowick.xm: no such file\n"
    -P ${CMAKE_CURRENT_LIST_FILE})
set_tests_properties(morrowick_missing_song PROPERTIES ENVIRONMENT "${MW_SMOKE_ENV}" TIMEOUT 60)
