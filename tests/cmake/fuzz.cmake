# Fuzzing: the PCX and ASC readers under libFuzzer, with AddressSanitizer and
# UndefinedBehaviorSanitizer, built by clang beside the main build (whatever its
# compiler) and seeded with the forge's pictures and meshes. `make test` runs each
# for a few seconds; `make fuzz` runs them long. Skipped where clang cannot build
# a fuzzer (scripts/install-deps --test installs it).
find_program(VELMORA_CLANGXX NAMES clang++ clang++-14)
if(VELMORA_CLANGXX AND NOT VELMORA_FUZZER_WORKS)
  set(probe ${CMAKE_BINARY_DIR}/fuzz_probe.cpp)
  file(WRITE ${probe} "#include <cstddef>\n#include <cstdint>\n"
       "extern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n")
  execute_process(COMMAND ${VELMORA_CLANGXX} -fsanitize=fuzzer,address,undefined ${probe}
                  -o ${CMAKE_BINARY_DIR}/fuzz_probe RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(probe_result EQUAL 0)
    set(VELMORA_FUZZER_WORKS ON CACHE INTERNAL "clang builds libFuzzer targets")
  else()
    set(VELMORA_FUZZER_WORKS OFF CACHE INTERNAL "clang builds libFuzzer targets")
  endif()
endif()

if(VELMORA_FUZZER_WORKS)
  # Edge coverage only: tracing every comparison made the decoders' byte loops three times slower,
  # and their only magic value (a run byte) is found without it.
  set(FUZZ_FLAGS -std=c++20 -O2 -g -fsanitize=fuzzer,address,undefined,float-cast-overflow
      -fno-sanitize-coverage=trace-cmp -fno-sanitize-recover=all -I${CMAKE_SOURCE_DIR})
  set(FUZZ_READER_SOURCES ${CMAKE_SOURCE_DIR}/assets/pcx.cpp ${CMAKE_SOURCE_DIR}/assets/asc.cpp
      ${CMAKE_SOURCE_DIR}/assets/data_path.cpp ${CMAKE_SOURCE_DIR}/platform/host/host.cpp)
  # reader: seed folder below qd, longest input
  set(FUZZ_SEEDS_pcx gfx)
  set(FUZZ_SEEDS_asc 3d)
  set(FUZZ_MAX_LEN_pcx 16384)
  set(FUZZ_MAX_LEN_asc 65536)
  foreach(reader pcx asc)
    set(fuzzer ${CMAKE_BINARY_DIR}/fuzz_${reader})
    add_custom_command(OUTPUT ${fuzzer}
      COMMAND ${VELMORA_CLANGXX} ${FUZZ_FLAGS} ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_${reader}.cpp
              ${FUZZ_READER_SOURCES} -o ${fuzzer}
      DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_${reader}.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_input.h
              ${FUZZ_READER_SOURCES} ${CMAKE_SOURCE_DIR}/assets/assets.h
      COMMENT "Building the ${reader} fuzzer with clang"
      VERBATIM)
    list(APPEND FUZZERS ${fuzzer})
    # New inputs go to the first folder, below build/fuzz (one for the suite's short runs, one for
    # `make fuzz`); the forge's files only seed them.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/${reader} ${CMAKE_BINARY_DIR}/fuzz/${reader}-suite)
    set(FUZZ_OPTIONS_${reader} -max_len=${FUZZ_MAX_LEN_${reader}} -timeout=20 -rss_limit_mb=2048
        -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/${reader}-)
    set(FUZZ_ARGS_${reader} ${FUZZ_OPTIONS_${reader}} ${CMAKE_BINARY_DIR}/fuzz/${reader}
        ${CMAKE_BINARY_DIR}/qd/${FUZZ_SEEDS_${reader}})
    add_test(NAME fuzz_${reader} COMMAND ${fuzzer} -max_total_time=6 ${FUZZ_OPTIONS_${reader}}
             ${CMAKE_BINARY_DIR}/fuzz/${reader}-suite ${CMAKE_BINARY_DIR}/qd/${FUZZ_SEEDS_${reader}})
    set_tests_properties(fuzz_${reader} PROPERTIES TIMEOUT 300)
  endforeach()
  add_custom_target(fuzzers ALL DEPENDS ${FUZZERS})
  add_dependencies(fuzzers forge_data)
  # make fuzz: FUZZ_RUNS executions of each (ten million unless told).
  set(FUZZ_RUNS 10000000 CACHE STRING "executions of each fuzzer in `make fuzz`")
  add_custom_target(fuzz
    COMMAND ${CMAKE_BINARY_DIR}/fuzz_pcx -runs=${FUZZ_RUNS} -print_final_stats=1 ${FUZZ_ARGS_pcx}
    COMMAND ${CMAKE_BINARY_DIR}/fuzz_asc -runs=${FUZZ_RUNS} -print_final_stats=1 ${FUZZ_ARGS_asc}
    DEPENDS fuzzers
    COMMENT "Fuzzing the PCX and ASC readers, ${FUZZ_RUNS} executions each"
    VERBATIM)
else()
  add_custom_target(fuzz COMMAND ${CMAKE_COMMAND} -E echo "No clang that builds libFuzzer targets: scripts/install-deps --test installs it")
endif()
