# The layers of src/ and where platform libraries and vector switches may
# appear, read from the #include and #if lines.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME layering COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/layering.py
                               ${CMAKE_SOURCE_DIR}/src)
# The README's layout and docs/architecture.md name the build's sources file
# for file.
add_test(NAME layout_docs COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/layout_docs.py
                                  ${CMAKE_SOURCE_DIR})
