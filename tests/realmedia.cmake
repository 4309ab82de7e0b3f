# Real file systems mounted inside the test (as root) and runs killed midway in a child process.
qt_add_executable(test_runchild ${CMAKE_CURRENT_SOURCE_DIR}/runchild.cpp)
target_link_libraries(test_runchild PRIVATE engine)
kappwerk_add_test(test_realmedia SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_realmedia.cpp LIBS engine selection)
target_compile_definitions(test_realmedia PRIVATE RUNCHILD="$<TARGET_FILE:test_runchild>")
add_dependencies(test_realmedia test_runchild)
