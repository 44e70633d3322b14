# The importers are the pack tool's; their test links them directly.
set(QXPACK_DIR ${CMAKE_SOURCE_DIR}/tools/qxpack)
target_sources(test_import PRIVATE ${QXPACK_DIR}/import.cpp ${QXPACK_DIR}/import_picture.cpp
               ${QXPACK_DIR}/import_model.cpp ${QXPACK_DIR}/simplify_model.cpp
               ${QXPACK_DIR}/lz_encode.cpp
               ${CMAKE_SOURCE_DIR}/tools/content/model_mesh.cpp)
target_include_directories(test_import PRIVATE ${QXPACK_DIR} ${CMAKE_SOURCE_DIR}/tools/content)
target_link_libraries(test_import PRIVATE PkgConfig::ASSIMP PkgConfig::PNG z
                      meshoptimizer::meshoptimizer)
