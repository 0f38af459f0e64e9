# The start-up greeting and the goodbye reach a real test server on the
# mascot's fixed ports, inside the test's own network namespace (which the
# zek it starts shares).
add_executable(app_mascot_tests ${CMAKE_CURRENT_SOURCE_DIR}/e2e_mascot.cpp
               ${PROJECT_SOURCE_DIR}/tests/notify/SstpTestServer.cpp)
set_target_properties(app_mascot_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZEK_TEST_BIN_DIR})
target_compile_options(app_mascot_tests PRIVATE ${ZEK_WARNINGS})
target_include_directories(app_mascot_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/notify)
target_link_libraries(app_mascot_tests PRIVATE zek_test_support zek_notify)
add_dependencies(app_mascot_tests zek)
gtest_discover_tests(app_mascot_tests
  DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
