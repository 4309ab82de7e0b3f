kappwerk_add_test(test_batchrun SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_batchrun.cpp LIBS engine)
