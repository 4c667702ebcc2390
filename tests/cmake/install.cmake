# The installed tree: install rules, desktop entries, icons, and the data lookup
# of an installed program started from elsewhere.
add_test(NAME installed_tree COMMAND ${CMAKE_SOURCE_DIR}/tests/install/installed_tree.sh ${CMAKE_BINARY_DIR})
set_tests_properties(installed_tree PROPERTIES TIMEOUT 300)
