# The show's window on Wayland under a headless sway, measured in screenshots
# after each switch of full screen (skipped where sway is not installed).
# window_steps drives the window's F11 path from its input, as no keys can be
# sent there.
add_executable(window_steps ${CMAKE_CURRENT_SOURCE_DIR}/window_steps.cpp)
target_link_libraries(window_steps PRIVATE vorn_lib)

add_test(NAME wayland_window
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wayland_window.sh $<TARGET_FILE:vorn>
                 $<TARGET_FILE:window_steps> $<TARGET_FILE:make_test_module>
                 ${CMAKE_BINARY_DIR}/wayland_shots)
set_tests_properties(wayland_window PROPERTIES TIMEOUT 180 LABELS nosanitize SKIP_RETURN_CODE 77)
