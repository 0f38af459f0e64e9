# The end-to-end tests start the real program and its bundled compiler.
add_dependencies(app_tests zek zekmml zekmml_shared)
