# screenshot.cmake -- renders one frame of the globe at twice the size (cmake -P):
#   -DPROGRAM=morrowick -DDATA=folder with data/ and xm/ -DWORK=scratch folder -DOUT=png
file(REMOVE_RECURSE ${WORK})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0
    ${PROGRAM} part7 --data=${DATA} --capture=${WORK} --scale=2 --seconds=6
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "screenshot capture failed (${result}): ${err}")
endif()
file(COPY_FILE ${WORK}/frame_000180.png ${OUT})
file(REMOVE_RECURSE ${WORK})
