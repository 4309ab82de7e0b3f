# The engine's Windows calls and the registry, on Windows or under Wine only.
if(NOT WIN32)
  return()
endif()
kappwerk_add_test(test_windowsfs SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_windowsfs.cpp LIBS engine settings)
if(KAPPWERK_UNDER_WINE)
  # Wine writes its registry into the prefix's user.reg when its server ends.
  add_test(NAME settings_in_user_reg
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/user_reg.sh $<TARGET_FILE:test_windowsfs>)
  set_tests_properties(settings_in_user_reg PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
