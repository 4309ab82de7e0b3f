kappwerk_add_test(test_filelist SOURCES test_filelist.cpp LIBS folderpicker selection toolkit)
