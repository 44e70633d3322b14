target_sources(bench_lz PRIVATE ${CMAKE_SOURCE_DIR}/tools/qxpack/lz_encode.cpp)
target_include_directories(bench_lz PRIVATE ${CMAKE_SOURCE_DIR}/tools/qxpack)
