# settings_screenshot: shows the first-run dialog and every tab of the
# settings dialog on a real display and saves screenshots (a helper for
# looking at them, not a test).
add_executable(settings_screenshot ${CMAKE_CURRENT_LIST_DIR}/settings_screenshot.cpp)
set_target_properties(settings_screenshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZEK_TEST_BIN_DIR})
target_compile_options(settings_screenshot PRIVATE ${ZEK_WARNINGS})
target_link_libraries(settings_screenshot PRIVATE zek_settings_dialogs Qt6::Widgets)
