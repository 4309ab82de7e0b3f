# The real program under Xvfb, driven from outside with xdotool as a user would.
add_test(NAME e2e_kappwerk COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_e2e.sh $<TARGET_FILE:kappwerk>)
set_tests_properties(e2e_kappwerk PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
add_test(NAME e2e_hung_card COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_e2e_hung.sh $<TARGET_FILE:kappwerk>)
set_tests_properties(e2e_hung_card PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
