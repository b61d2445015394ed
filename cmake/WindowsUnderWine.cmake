# The Windows build beside the Linux one, and its suite under Wine as one test of this build, so
# that one test run covers the code of both platforms. The nested build is the windows preset's
# own tree (build/windows), the same one `make windows` builds; the test is `make windows-test`'s
# run without the build. Without the cross compiler, Wine, NSIS or chmcmd the test is skipped,
# saying what to install.
find_program(RERADAV_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(RERADAV_WINE wine)
find_program(RERADAV_MAKENSIS makensis)
find_program(RERADAV_CHMCMD chmcmd)
set(windows_build ${PROJECT_SOURCE_DIR}/build/windows)
if(RERADAV_MINGW_CXX AND RERADAV_WINE AND RERADAV_MAKENSIS AND RERADAV_CHMCMD)
    # Configured once; after that the nested build re-runs its configure when a list changes.
    add_custom_target(windows-under-wine ALL
        COMMAND test -f ${windows_build}/CMakeCache.txt || ${CMAKE_COMMAND} --preset windows
        COMMAND ${CMAKE_COMMAND} --build --preset windows --target all windows-package
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Building for Windows (build/windows) and its packages"
        USES_TERMINAL)
    add_test(NAME Windows.UnderWine COMMAND ${PROJECT_SOURCE_DIR}/tools/windows-test)
    # The Wine suite runs its own tests one at a time; a fresh Wine prefix takes a while.
    set_tests_properties(Windows.UnderWine PROPERTIES TIMEOUT 900)
else()
    message(STATUS "Windows build and Wine tests skipped: install them with "
                   "tools/install-deps windows windows-package")
    add_test(NAME Windows.UnderWine COMMAND sh -c
        "echo 'no mingw-w64, Wine, NSIS or chmcmd: tools/install-deps windows windows-package'; exit 77")
    set_tests_properties(Windows.UnderWine PROPERTIES SKIP_RETURN_CODE 77)
endif()
