# The sound layer's tests write their modules with the content tools' XM writer.
target_link_libraries(test_sound PRIVATE vorn_xm_writer)
