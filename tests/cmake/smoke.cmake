# The real programs under a virtual X server (skipped where Xvfb cannot start).
foreach(program velmora velmora_vox)
  add_test(NAME smoke_menu_${program}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/smoke/menu_smoke.sh $<TARGET_FILE:${program}>)
  set_tests_properties(smoke_menu_${program} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300
                       RUN_SERIAL TRUE)
endforeach()
