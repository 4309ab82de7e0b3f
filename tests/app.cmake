kappwerk_add_test(test_mainwindow SOURCES test_mainwindow.cpp testsupport.h LIBS mainwindow)
kappwerk_add_test(test_settings SOURCES test_settings.cpp testsupport.h LIBS mainwindow)
kappwerk_add_test(test_faultdrills SOURCES test_faultdrills.cpp testsupport.h LIBS mainwindow engine)
