# The real program under Xvfb, driven from outside with xdotool as a user would.
add_test(NAME e2e_kappwerk COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_e2e.sh $<TARGET_FILE:kappwerk>)
set_tests_properties(e2e_kappwerk PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
