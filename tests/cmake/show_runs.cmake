# The whole-show test keeps a journal of the calls that open and close the show:
# the link routes them through wrappers in tests/test_show_runs.cpp (C++ names, mangled).
if(TARGET test_show_runs)
  foreach(symbol _Z26host_raise_thread_priorityv _Z9BASS_InitijjPv _Z16BASS_MusicPlayExjjii _Z9BASS_Freev
                 _Z13console_closeP7Console _Z14surface_unlockP7Surface _Z12error_reportRK12DynamicError)
    target_link_options(test_show_runs PRIVATE -Wl,--wrap=${symbol})
  endforeach()
endif()
