# The SDL console's decisions, tested as plain functions (test_console_sdl, from
# the suite loop).
if(TARGET test_console_sdl)
  target_link_libraries(test_console_sdl PRIVATE velmora_console_sdl_policy)
endif()
