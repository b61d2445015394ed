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

foreach(folder common keys lock readproc serial shell support/windows)
    add_subdirectory(${folder})
endforeach()

# A null-modem pair the serial tests and the end-to-end test share, one at a time: COM16 is
# the port under test, COM17 (and the pty link in the pair's folder) the scanner.
set(pair ${CMAKE_BINARY_DIR}/null-modem)
add_test(NAME null_modem_up COMMAND sh -c
    "${CMAKE_CURRENT_SOURCE_DIR}/serial/windows/null-modem.sh ${pair} > ${pair}.pid")
add_test(NAME null_modem_down COMMAND sh -c "kill $(cat ${pair}.pid)")
set_tests_properties(null_modem_up PROPERTIES FIXTURES_SETUP null_modem)
set_tests_properties(null_modem_down PROPERTIES FIXTURES_CLEANUP null_modem)

add_test(NAME core_tests COMMAND core_tests --gtest_brief=1)
add_test(NAME windows_tests COMMAND windows_tests --gtest_brief=1)
add_test(NAME headless_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/windows/headless-end-to-end.sh
    $<TARGET_FILE:reradav-headless> $<TARGET_FILE:edit_target> ${pair})
# The windowed program as the zip holds it, beside its help (make windows-package stages it).
add_test(NAME windowed_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/windows/windowed-end-to-end.sh
    ${CMAKE_BINARY_DIR}/packaging/windows/Reradav $<TARGET_FILE:edit_target>
    $<TARGET_FILE:window_driver> ${pair})
set_tests_properties(windows_tests headless_end_to_end windowed_end_to_end PROPERTIES
    FIXTURES_REQUIRED null_modem RUN_SERIAL TRUE)
# The installer make windows-package built: installed, checked and uninstalled in the test prefix.
add_test(NAME windows_installer COMMAND ${PROJECT_SOURCE_DIR}/tests/install/windows-installer.sh
    ${CMAKE_BINARY_DIR}/reradav-${PROJECT_VERSION}-setup-x64.exe)
set_tests_properties(windows_installer PROPERTIES RUN_SERIAL TRUE)
# One entry runs a whole program, so a skip would hide its failures: the pair's tests fail
# instead of skipping when it is missing here.
set_tests_properties(core_tests windows_tests headless_end_to_end windowed_end_to_end
    windows_installer null_modem_up null_modem_down PROPERTIES
    ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;RERADAV_NULL_MODEM=${pair}")
