# libFuzzer targets over the fake Windows. Each runs for a short time as a test; scripts/fuzz runs
# them for longer.
set(FUZZ_TARGETS text command registry)
foreach(target IN LISTS FUZZ_TARGETS)
  add_executable(fuzz_${target} tests/fuzz/fuzz_${target}.cpp)
  target_link_libraries(fuzz_${target} PRIVATE launcher_core fake_windows)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  # One at a time, and never beside the timed Wine tests.
  launcher_add_test(fuzz.${target}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzzer $<TARGET_FILE:fuzz_${target}>
            ${CMAKE_SOURCE_DIR}/tests/fuzz/${target} ${CMAKE_BINARY_DIR}/corpus/${target}
    PROPERTIES RESOURCE_LOCK cpu_timing)
endforeach()
