# The playback window tests write their MIDI files with the compiler's encoder.
target_link_libraries(app_tests PRIVATE zekmml_core)
