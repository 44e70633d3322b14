# The model generator is part of the content tool, not of vorn_lib: the model
# test builds it in.
target_sources(test_models PRIVATE ${CMAKE_SOURCE_DIR}/tools/content/models.cpp
                                   ${CMAKE_SOURCE_DIR}/tools/content/model_mesh.cpp)
target_include_directories(test_models PRIVATE ${CMAKE_SOURCE_DIR}/tools/content)
