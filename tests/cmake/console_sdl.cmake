# The SDL console: its decisions tested as plain functions (test_console_sdl, from
# the suite loop), and the real backend on SDL's dummy video driver, which needs
# the SDL console in place of the headless one.
if(TARGET test_console_sdl)
  target_link_libraries(test_console_sdl PRIVATE velmora_console_sdl_policy)
endif()
add_executable(test_sdl_console_live tests/sdl/test_sdl_console_live.cpp)
target_include_directories(test_sdl_console_live PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(test_sdl_console_live PRIVATE velmora_console_sdl GTest::gtest GTest::gtest_main)
gtest_discover_tests(test_sdl_console_live DISCOVERY_TIMEOUT 60)
