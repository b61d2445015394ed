# Installation under CMAKE_INSTALL_PREFIX (`make install PREFIX=...`). udev and systemd read
# lib/udev/rules.d and lib/systemd/user below their own prefixes, not the multiarch libdir.
include(GNUInstallDirs)

install(TARGETS reradav reradav-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/Reradav.html ${PROJECT_SOURCE_DIR}/docs/copyright
              ${PROJECT_BINARY_DIR}/docs/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_BINARY_DIR}/docs/reradav.1.gz ${PROJECT_BINARY_DIR}/docs/reradav-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/${RERADAV_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${RERADAV_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${PROJECT_SOURCE_DIR}/data/${RERADAV_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/data/${RERADAV_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/${RERADAV_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/70-reradav-uinput.rules DESTINATION lib/udev/rules.d)

# The unit names the installed program, so it is written when the prefix is known: at install
# time, where `cmake --install --prefix` may differ from the configured prefix.
set(RERADAV_UNIT ${PROJECT_BINARY_DIR}/install/reradav-headless.service)
install(CODE "
    set(RERADAV_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    if(NOT IS_ABSOLUTE \"\${RERADAV_BINDIR}\")
        set(RERADAV_BINDIR \"\${CMAKE_INSTALL_PREFIX}/\${RERADAV_BINDIR}\")
    endif()
    configure_file(\"${PROJECT_SOURCE_DIR}/data/reradav-headless.service.in\"
                   \"${RERADAV_UNIT}\" @ONLY)
")
install(FILES ${RERADAV_UNIT} DESTINATION lib/systemd/user)

# Installs into a scratch DESTDIR and prefix, checks every file, uninstalls.
if(RERADAV_TESTS)
    add_test(NAME install_and_uninstall
        COMMAND ${PROJECT_SOURCE_DIR}/tests/install/check-install.sh
                ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${RERADAV_APP_ID})
    set_tests_properties(install_and_uninstall PROPERTIES TIMEOUT 120)
endif()
