# How the content sits in its scenes, measured on frames of the show.
add_test(NAME art_frames COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/art_frames.sh $<TARGET_FILE:vorn>
                                 ${VORN_CONTENT_DIR}/items)
set_tests_properties(art_frames PROPERTIES TIMEOUT 300 LABELS nosanitize)
