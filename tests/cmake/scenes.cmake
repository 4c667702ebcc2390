# Scene tests: each tests/scenes/test_*.cpp is a suite of its own, run against
# the headless console and a scripted stand-in for the module player.
add_library(velmora_fake_music STATIC tests/scenes/fake_music.cpp)
target_link_libraries(velmora_fake_music PUBLIC velmora_core velmora_console_headless)
file(GLOB SCENE_TEST_SOURCES CONFIGURE_DEPENDS tests/scenes/test_*.cpp)
foreach(test_source ${SCENE_TEST_SOURCES})
  get_filename_component(test_name ${test_source} NAME_WE)
  set(test_name scene_${test_name})
  add_executable(${test_name} ${test_source})
  target_link_libraries(${test_name} PRIVATE velmora_core velmora_fake_music velmora_core
    velmora_console_headless velmora_host GTest::gtest GTest::gtest_main)
  target_include_directories(${test_name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/scenes)
  target_compile_definitions(${test_name} PRIVATE VELMORA_BUILD_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(${test_name} forge_data)
  gtest_discover_tests(${test_name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60)
endforeach()
