# The Windows build's tests, run under Wine (the toolchain's emulator): the core's own tests,
# unchanged, and the Win32 adapters'. One CTest entry per program: each Wine start costs a
# second or so.
add_library(test_support INTERFACE)
target_include_directories(test_support INTERFACE ${PROJECT_SOURCE_DIR}/tests)
# Wine sees the Unix file system as drive Z:.
target_compile_definitions(test_support INTERFACE
    RERADAV_TEST_DATA_DIR="Z:${CMAKE_CURRENT_SOURCE_DIR}/support/data")
target_link_libraries(test_support INTERFACE reradav_engine GTest::gtest)

add_executable(core_tests)
target_link_libraries(core_tests PRIVATE test_support GTest::gmock GTest::gtest_main)

# Real COM ports (a pty Wine maps as COM16), SendInput into an EDIT window, the registry.
add_executable(windows_tests)
target_link_libraries(windows_tests PRIVATE test_support GTest::gmock GTest::gtest_main)

foreach(folder common keys lock readproc serial shell)
    add_subdirectory(${folder})
endforeach()

foreach(program core_tests windows_tests)
    add_test(NAME ${program} COMMAND ${program} --gtest_brief=1)
    set_tests_properties(${program} PROPERTIES SKIP_REGULAR_EXPRESSION ${skipped})
endforeach()
