# The command line as a script runs it: the built program as a child process, without a display.
kappwerk_add_test(test_commandline SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_commandline.cpp LIBS Qt6::Core)
target_compile_definitions(test_commandline PRIVATE KAPPWERK_BINARY="$<TARGET_FILE:kappwerk>")
add_dependencies(test_commandline kappwerk)
