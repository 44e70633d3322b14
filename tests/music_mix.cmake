# The show's sound, measured: the built-in module played through the sound
# layer in lockstep and measured with ffmpeg.
add_executable(dump_show_audio ${CMAKE_CURRENT_SOURCE_DIR}/dump_show_audio.cpp)
target_link_libraries(dump_show_audio PRIVATE vorn_lib)
target_include_directories(dump_show_audio PRIVATE ${CMAKE_SOURCE_DIR}/src)
add_test(NAME music_mix COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/music_mix.sh
                                $<TARGET_FILE:dump_show_audio>)
set_tests_properties(music_mix PROPERTIES TIMEOUT 300 LABELS nosanitize)
