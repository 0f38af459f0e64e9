# The end-to-end tests start the real program.
add_dependencies(app_tests zek)
