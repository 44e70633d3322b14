# The whole show with each item missing in turn and with the pack cut short.
add_test(NAME missing_items
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/missing_items.sh $<TARGET_FILE:vorn>
                 $<TARGET_FILE:qxpack> ${VORN_CONTENT_DIR})
set_tests_properties(missing_items PROPERTIES TIMEOUT 600 LABELS nosanitize)
