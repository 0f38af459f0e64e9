# Stand-ins for the in-process compiler library, built for the runner tests:
# a complete one in two versions and one that lacks MMLtoMIDI.
set(_fake_lib_src ${ZEK_FIXTURES_DIR}/compilers/fake-library.cpp)
add_library(zek_test_fakelib_v2 MODULE ${_fake_lib_src})
target_compile_definitions(zek_test_fakelib_v2 PRIVATE FAKE_VERSION="2.50 fake")
add_library(zek_test_fakelib_v1 MODULE ${_fake_lib_src})
target_compile_definitions(zek_test_fakelib_v1 PRIVATE FAKE_VERSION="1.10 other")
add_library(zek_test_fakelib_nosym MODULE ${_fake_lib_src})
target_compile_definitions(zek_test_fakelib_nosym PRIVATE FAKE_WITHOUT_MMLTOMIDI)
foreach(_lib zek_test_fakelib_v2 zek_test_fakelib_v1 zek_test_fakelib_nosym)
  set_target_properties(${_lib} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ZEK_TEST_BIN_DIR}/fakelibs)
  target_compile_options(${_lib} PRIVATE ${ZEK_WARNINGS})
endforeach()
if(TARGET compile_tests)
  add_dependencies(compile_tests zek_test_fakelib_v2 zek_test_fakelib_v1 zek_test_fakelib_nosym)
  target_compile_definitions(compile_tests PRIVATE
    ZEK_FAKE_LIB_V2="$<TARGET_FILE:zek_test_fakelib_v2>"
    ZEK_FAKE_LIB_V1="$<TARGET_FILE:zek_test_fakelib_v1>"
    ZEK_FAKE_LIB_NOSYM="$<TARGET_FILE:zek_test_fakelib_nosym>")
endif()
