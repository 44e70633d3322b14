# The XM writer and the show's module: both tests read modules back with
# libopenmpt; the module test also cross-checks with libxmp.
pkg_check_modules(XMP REQUIRED IMPORTED_TARGET libxmp)
target_link_libraries(test_xm_writer PRIVATE vorn_xm_writer PkgConfig::OPENMPT)
