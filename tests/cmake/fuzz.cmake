# Fuzz targets: every tests/fuzz/fuzz_<name>.cpp defines LLVMFuzzerTestOneInput.
# Normal builds link it to a replay driver and run its seed corpus (tests/fuzz/corpus/<name>/)
# as a CTest test; with MW_FUZZ=ON (clang) it becomes a real libFuzzer program.
file(GLOB MW_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(src ${MW_FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "^fuzz_" "" short ${name})
  if(MW_FUZZ)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  else()
    add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    add_test(NAME fuzz_replay_${short}
      COMMAND ${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${short})
  endif()
  target_link_libraries(${name} PRIVATE morrowick_tools)
  target_compile_definitions(${name} PRIVATE MW_BINARY_DIR="${CMAKE_BINARY_DIR}")
endforeach()
