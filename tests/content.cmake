# The picture generator is part of the content tool, not of vorn_lib: the
# content test builds it in, with FreeType for its type.
pkg_check_modules(CONTENT_TEST_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
file(GLOB CONTENT_TEST_PICTURE_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tools/content/pic_*.cpp)
target_sources(test_content PRIVATE ${CONTENT_TEST_PICTURE_SOURCES}
               ${CMAKE_SOURCE_DIR}/tools/content/pictures.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/contact_sheet.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/raster.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/font.cpp)
target_include_directories(test_content PRIVATE ${CMAKE_SOURCE_DIR}/tools/content)
target_link_libraries(test_content PRIVATE PkgConfig::CONTENT_TEST_FREETYPE)
