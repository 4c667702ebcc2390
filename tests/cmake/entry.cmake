# The entry test keeps a journal of the calls that open and close the show: the
# link routes them through wrappers in tests/test_entry.cpp (C++ names, mangled).
if(TARGET test_entry)
  foreach(symbol _Z26host_raise_thread_priorityv _Z9BASS_InitijjPv _Z16BASS_MusicPlayExjjii _Z9BASS_Freev
                 _Z13console_closeP7Console _Z14surface_unlockP7Surface _Z12error_reportRK12DynamicError)
    target_link_options(test_entry PRIVATE -Wl,--wrap=${symbol})
  endforeach()
endif()
