# Fuzz targets: a harness tests/fuzz/NAME_fuzz.cpp feeds raw bytes to one reader of
# outside input through LLVMFuzzerTestOneInput. The same harness builds twice:
#   NAME_fuzz    under libFuzzer (clang, -DZEPHYR_FUZZ=ON; `./run fuzz SECONDS`), every
#                library of that build instrumented so the fuzzer sees the reader's coverage;
#   NAME_replay  with a small driver in the test builds (g++, plain and ASan), the test
#                fuzz.NAME replaying tests/fuzz/corpus/NAME: the seeds and every input that
#                once found a fault. The driver is compiled once for all of them.
# zephyr_add_fuzz(NAME [SOURCES code under test...] [LIBS libraries...] [INCLUDES folders...])
set(ZEPHYR_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
if(NOT TARGET fuzzers)
  add_custom_target(fuzzers)
endif()

function(zephyr_add_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  set(harness ${ZEPHYR_FUZZ_DIR}/${name}_fuzz.cpp)
  if(ZEPHYR_FUZZ)
    add_executable(${name}_fuzz ${harness} ${F_SOURCES})
    target_include_directories(${name}_fuzz PRIVATE ${F_INCLUDES})
    target_link_libraries(${name}_fuzz PRIVATE ${F_LIBS})
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzzers ${name}_fuzz)
  endif()
  if(ZEPHYR_TESTS)
    if(NOT TARGET fuzz_replay_driver)
      add_library(fuzz_replay_driver OBJECT ${ZEPHYR_FUZZ_DIR}/replay.cpp)
    endif()
    add_executable(${name}_replay ${harness} $<TARGET_OBJECTS:fuzz_replay_driver> ${F_SOURCES})
    target_include_directories(${name}_replay PRIVATE ${F_INCLUDES})
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    add_test(NAME fuzz.${name} COMMAND ${name}_replay ${ZEPHYR_FUZZ_DIR}/corpus/${name})
  endif()
endfunction()
