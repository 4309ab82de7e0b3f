kappwerk_add_test(test_preview SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_preview.cpp ${CMAKE_CURRENT_SOURCE_DIR}/testsupport.h LIBS mainwindow)
