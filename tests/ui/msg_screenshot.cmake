# msg_screenshot: shows the message forms and the version dialog on a real
# display and saves screenshots (a helper for looking at them, not a test).
add_executable(msg_screenshot ${CMAKE_CURRENT_LIST_DIR}/msg_screenshot.cpp)
set_target_properties(msg_screenshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZEK_TEST_BIN_DIR})
target_compile_options(msg_screenshot PRIVATE ${ZEK_WARNINGS})
target_link_libraries(msg_screenshot PRIVATE zek_ui Qt6::Widgets)
