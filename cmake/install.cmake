# Installation and the .deb: the show and its pack tool in games/ (a game in
# Debian's sense: section games, the show's manual in section 6), the
# desktop entry, the icon drawn at each size by tools/icon, the manual pages
# compressed as Debian wants them, the copyright file and the changelog.
# `make install` and `make package` build only these (the tests and
# benchmarks are not part of the default build).
include(GNUInstallDirs)

set(VORN_MAINTAINER "Vorn developers <developers@vorn.example>"
    CACHE STRING "The .deb's Maintainer field")

add_executable(make_icon tools/icon/make_icon.cpp)
target_link_libraries(make_icon PRIVATE vorn_sheet PkgConfig::PNG)
set(VORN_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(VORN_ICON_SIZES 16 32 48 64 128 256)
set(VORN_ICONS "")
foreach(size ${VORN_ICON_SIZES})
    list(APPEND VORN_ICONS ${VORN_ICON_DIR}/${size}x${size}/apps/vorn.png)
endforeach()
add_custom_command(
    OUTPUT ${VORN_ICONS}
    COMMAND make_icon ${VORN_ICON_DIR}
    DEPENDS make_icon
    COMMENT "Drawing the icon at every size"
    VERBATIM)

# The manual pages and the changelog with the version in them, compressed
# without a name or time stamp so that the same text gives the same bytes.
configure_file(docs/vorn.6 ${CMAKE_BINARY_DIR}/vorn.6 @ONLY)
configure_file(docs/qxpack.1 ${CMAKE_BINARY_DIR}/qxpack.1 @ONLY)
configure_file(data/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
set(VORN_COMPRESSED "")
foreach(name vorn.6 qxpack.1 changelog)
    add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/${name}.gz
        COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/${name} > ${CMAKE_BINARY_DIR}/${name}.gz
        DEPENDS ${CMAKE_BINARY_DIR}/${name}
        COMMENT "Compressing ${name}")
    list(APPEND VORN_COMPRESSED ${CMAKE_BINARY_DIR}/${name}.gz)
endforeach()
add_custom_target(vorn_install_files ALL DEPENDS ${VORN_ICONS} ${VORN_COMPRESSED})

# Bound at load, as Debian's own builds are.
target_link_options(vorn PRIVATE -Wl,-z,relro,-z,now)
target_link_options(qxpack PRIVATE -Wl,-z,relro,-z,now)

install(TARGETS vorn qxpack RUNTIME DESTINATION games)
install(FILES data/vorn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${VORN_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_BINARY_DIR}/vorn.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_BINARY_DIR}/qxpack.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/copyright ${CMAKE_BINARY_DIR}/changelog.gz docs/content.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_CONTACT "${VORN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo: software-rendered effects cut to a tracker module")
# The long description, each line indented and the empty line made " ." by CPack.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vorn plays a tracker module and shows a fixed sequence of effects cut to the
music: pictures, fades, plasma, tunnel, rotozoom and a small 3D engine, every
pixel of a 320 x 200 frame computed by the program itself and stretched to
the screen with its shape kept. A configuration dialog comes first. All its
pictures, models and music are built into the program.

qxpack, beside it, makes, lists, extracts and checks packs of pictures and
models that replace the built-in ones.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# --record and a recording `make run` hand the frames to ffmpeg.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
