# The catalogue's guard reads the writable variables of the drawing's and the
# show's static libraries, as the build made them, through nm.
target_compile_definitions(test_show_state PRIVATE VORN_NM="${CMAKE_NM}"
    VORN_STATE_LIBRARIES="$<TARGET_FILE:vorn_engine> $<TARGET_FILE:vorn_show>")
