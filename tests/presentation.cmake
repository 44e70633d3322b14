# The presentation's test programs and whole-program runs: a windowed show
# under Xvfb, and a recording checked with ffprobe.
add_executable(make_test_module ${CMAKE_CURRENT_SOURCE_DIR}/make_test_module.cpp)
target_link_libraries(make_test_module PRIVATE vorn_xm_writer)
target_link_libraries(test_frame_loop PRIVATE vorn_xm_writer)
add_dependencies(test_command_line vorn)

foreach(run windowed_show record)
    add_test(NAME presentation_${run}
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/presentation_runs.sh ${run}
                     $<TARGET_FILE:vorn> $<TARGET_FILE:make_test_module>)
    set_tests_properties(presentation_${run} PROPERTIES TIMEOUT 180 LABELS nosanitize)
endforeach()

add_test(NAME presentation_full_screen_keys
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/presentation_runs.sh full_screen_keys
                 $<TARGET_FILE:vorn> $<TARGET_FILE:make_test_module> ${CMAKE_BINARY_DIR})
set_tests_properties(presentation_full_screen_keys PROPERTIES TIMEOUT 180 LABELS nosanitize)

add_test(NAME maker_loop
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/maker_loop.sh $<TARGET_FILE:vorn>
                 $<TARGET_FILE:make_test_module>)
set_tests_properties(maker_loop PROPERTIES TIMEOUT 150 LABELS nosanitize)
