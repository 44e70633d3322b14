# The configuration dialog: its logic test links the module writer; the real
# GTK dialog runs under Xvfb, driven by keyboard input, and its picture is
# kept as launcher_dialog.png in the build directory.
target_link_libraries(test_config_dialog PRIVATE vorn_xm_writer)

foreach(run dialog_exit dialog_run no_display)
    add_test(NAME launcher_${run}
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/launcher_runs.sh ${run}
                     $<TARGET_FILE:vorn> $<TARGET_FILE:make_test_module> ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
    set_tests_properties(launcher_${run} PROPERTIES TIMEOUT 180 LABELS nosanitize)
endforeach()
