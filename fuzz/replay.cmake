# Replays each fuzz target's seed corpus and saved crash inputs as a CTest
# test, built by the normal compiler without libFuzzer, so a fixed fault stays
# fixed without clang. Natively only: the inputs are read from the source tree.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)

foreach(target IN LISTS KWT_FUZZ_TARGETS)
  set(dir ${CMAKE_CURRENT_LIST_DIR}/${target})
  add_executable(${target}_replay ${dir}/${target}_fuzzer.cpp ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp)
  target_link_libraries(${target}_replay PRIVATE ${KWT_FUZZ_LIBS_${target}} kwt_test_kit kwt_warnings)
  add_test(NAME fuzz_replay.${target} COMMAND ${target}_replay ${dir}/corpus ${dir}/crashes)
endforeach()
