# The XM writer and the show's module: both tests read modules back with
# libopenmpt; the module test also cross-checks with libxmp.
pkg_check_modules(XMP REQUIRED IMPORTED_TARGET libxmp)
target_link_libraries(test_xm_writer PRIVATE vorn_xm_writer PkgConfig::OPENMPT)
target_sources(test_music PRIVATE ${CMAKE_SOURCE_DIR}/tools/content/music.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/music_plan.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/music_harmony.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/music_synth.cpp)
target_include_directories(test_music PRIVATE ${CMAKE_SOURCE_DIR}/tools/content)
target_link_libraries(test_music PRIVATE vorn_xm_writer PkgConfig::OPENMPT PkgConfig::XMP)
