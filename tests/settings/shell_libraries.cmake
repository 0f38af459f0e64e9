# The shortcut tests load the real shortcut library, and the compiler library
# as one that lacks CreateShortcut.
add_dependencies(settings_tests zeririzu zekmml_shared)
