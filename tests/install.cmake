# `make install` and `make package` from this build: the installed program runs
# from another directory, its desktop entry and manual page are sound, the .deb
# holds the same files.
add_test(NAME install_and_package
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_runs.sh ${CMAKE_BINARY_DIR})
set_tests_properties(install_and_package PROPERTIES TIMEOUT 180 LABELS nosanitize)
