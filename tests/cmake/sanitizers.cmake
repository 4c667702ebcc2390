# Sanitizers: the renderer and the mesh reader compiled again with AddressSanitizer
# and UndefinedBehaviorSanitizer (float-to-int overflow included), with their two
# test suites, so the wild-input tests prove there is no fault. Only these sources
# are instrumented; the rest of the show links in as usual.
file(GLOB SANITIZED_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/render/*.cpp)
list(APPEND SANITIZED_SOURCES ${CMAKE_SOURCE_DIR}/assets/asc.cpp)
set(SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
  -fno-omit-frame-pointer)
add_executable(test_render_sanitized ${CMAKE_SOURCE_DIR}/tests/test_render.cpp
  ${CMAKE_SOURCE_DIR}/tests/test_asc.cpp ${SANITIZED_SOURCES})
target_compile_options(test_render_sanitized PRIVATE ${SANITIZER_FLAGS} -g)
target_compile_definitions(test_render_sanitized PRIVATE VELMORA_RANGE_CHECKS)
target_link_options(test_render_sanitized PRIVATE ${SANITIZER_FLAGS})
target_include_directories(test_render_sanitized PRIVATE ${CMAKE_SOURCE_DIR})
# The instrumented objects come first, so the core's own copies of them are not linked.
target_link_libraries(test_render_sanitized PRIVATE velmora_core velmora_console_headless ${SHOW_PLATFORM}
  GTest::gtest GTest::gtest_main Threads::Threads)
gtest_discover_tests(test_render_sanitized TEST_PREFIX "sanitized." WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
