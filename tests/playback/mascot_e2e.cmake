# The real zek tells a test mascot that a play failed. The test takes the
# mascot's fixed ports inside a network namespace of its own.
add_executable(playback_mascot_tests ${CMAKE_CURRENT_SOURCE_DIR}/e2e_mascot.cpp
               ${PROJECT_SOURCE_DIR}/tests/notify/SstpTestServer.cpp)
set_target_properties(playback_mascot_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZEK_TEST_BIN_DIR})
target_compile_options(playback_mascot_tests PRIVATE ${ZEK_WARNINGS})
target_include_directories(playback_mascot_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/notify)
target_link_libraries(playback_mascot_tests PRIVATE zek_test_support zek_playback zekmml_core)
add_dependencies(playback_mascot_tests zek)
gtest_discover_tests(playback_mascot_tests
  DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
