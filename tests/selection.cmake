kappwerk_add_test(test_filelist SOURCES test_filelist.cpp LIBS selection)
kappwerk_add_test(test_folderpicker SOURCES test_folderpicker.cpp LIBS folderpicker selection)
kappwerk_add_test(test_textmeasure SOURCES test_textmeasure.cpp LIBS toolkit)
