# The LZ encoder is the pack tool's; its test links it directly.
target_sources(test_lz PRIVATE ${CMAKE_SOURCE_DIR}/tools/qxpack/lz_encode.cpp)
target_include_directories(test_lz PRIVATE ${CMAKE_SOURCE_DIR}/tools/qxpack)

add_test(NAME qxpack_cli
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/qxpack_cli.sh $<TARGET_FILE:qxpack>)
add_test(NAME qxpack_check
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/qxpack_check.sh $<TARGET_FILE:qxpack> ${VORN_CONTENT_DIR}
                 $<TARGET_FILE:make_test_module> $<TARGET_FILE:qxpack_bare>)
add_test(NAME content_docs
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/content_docs.sh ${CMAKE_SOURCE_DIR}/docs/content.md
                 $<TARGET_FILE:qxpack> $<TARGET_FILE:vorn>)
