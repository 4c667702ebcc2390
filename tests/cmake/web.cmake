# The show in a browser: the page is built with Emscripten (a test, so that it
# runs beside the others), then opened frame-locked in headless Chromium, and
# frames of several scenes must hash exactly as the native capture tool's; its
# libopenmpt must render the songs as the native one. Skipped (exit 77) where
# Emscripten or Chromium is not installed.
add_test(NAME web_build COMMAND ${CMAKE_SOURCE_DIR}/platform/web/build-web ${CMAKE_BINARY_DIR})
set_tests_properties(web_build PROPERTIES FIXTURES_SETUP web_page SKIP_RETURN_CODE 77 TIMEOUT 3600)
if(TARGET velmora_capture)
  add_test(NAME web_frames
           COMMAND ${CMAKE_SOURCE_DIR}/tests/web/web_frames.sh $<TARGET_FILE:velmora_capture>
                   ${CMAKE_BINARY_DIR}/web/cmake/site)
  set_tests_properties(web_frames PROPERTIES FIXTURES_REQUIRED web_page SKIP_RETURN_CODE 77 TIMEOUT 900)
endif()
# The page's menu answers and its messages for missing or damaged data.
add_test(NAME web_page COMMAND ${CMAKE_SOURCE_DIR}/tests/web/web_page.sh ${CMAKE_BINARY_DIR}/web/cmake/site)
set_tests_properties(web_page PROPERTIES FIXTURES_REQUIRED web_page SKIP_RETURN_CODE 77 TIMEOUT 300)
# The browser build's libopenmpt renders the songs as the native one does.
add_executable(web_music_render ${CMAKE_SOURCE_DIR}/tests/web/music_render.cpp ${CMAKE_SOURCE_DIR}/tools/common/sha256.cpp)
target_include_directories(web_music_render PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(web_music_render PRIVATE PkgConfig::OPENMPT)
add_test(NAME web_music
         COMMAND ${CMAKE_SOURCE_DIR}/tests/web/web_music.sh $<TARGET_FILE:web_music_render>
                 ${CMAKE_BINARY_DIR}/web/cmake/check/music_render.js
                 ${CMAKE_BINARY_DIR}/qd/music/1.xm ${CMAKE_BINARY_DIR}/qd/music/2.xm)
set_tests_properties(web_music PROPERTIES FIXTURES_REQUIRED web_page SKIP_RETURN_CODE 77 TIMEOUT 300)
# The browser build's rand() against the C library's own here.
if(TARGET test_glibc_rand)
  target_sources(test_glibc_rand PRIVATE ${CMAKE_SOURCE_DIR}/platform/web/glibc_rand.cpp)
endif()
