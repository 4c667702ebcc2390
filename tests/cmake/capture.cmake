# The capture tool's pieces for its unit tests, and the tool itself for the tests
# that run it as a child process (the frame-locked runs and the timeline).
set(CAPTURE_PART_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/capture/bench_stats.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/bitmap_font.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/capture_options.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/contact_sheet.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/mp4_video.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/progress_bar.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/scene_log.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/y4m_writer.cpp)
if(TARGET velmora_capture)
  add_library(velmora_capture_parts STATIC ${CAPTURE_PART_SOURCES})
  target_include_directories(velmora_capture_parts PUBLIC ${CMAKE_SOURCE_DIR})
endif()
foreach(capture_test test_capture test_show_runs test_video)
  if(TARGET velmora_capture AND TARGET ${capture_test})
    target_link_libraries(${capture_test} PRIVATE velmora_capture_parts)
    target_compile_definitions(${capture_test} PRIVATE VELMORA_CAPTURE="$<TARGET_FILE:velmora_capture>")
    add_dependencies(${capture_test} velmora_capture)
  endif()
endforeach()
