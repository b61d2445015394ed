# `make package`: a .deb and an .rpm of what cmake/Install.cmake installs, under /usr, where udev
# and systemd read the rule and the user unit. tools/build-package builds them with the
# distribution's compiler flags; tools/check-package runs lintian, desktop-file-validate and
# appstreamcli on them and installs the .deb.
set(CPACK_PACKAGE_NAME reradav)
set(CPACK_PACKAGE_VENDOR "The Reradav developers")
set(CPACK_PACKAGE_CONTACT "${RERADAV_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial bar-code scanner keyboard wedge")
# Lines under 80 characters: apt shows them as they stand.
set(CPACK_PACKAGE_DESCRIPTION
    "Reradav makes a bar-code scanner on a serial port (RS-232 or USB-serial)
behave like a keyboard: every code it reads is typed into the application
that has the keyboard focus. It cleans each read (digits only, no trailing
carriage return, no consecutive duplicates), ends it with Enter, Tab or other
keystrokes, types every character on any keyboard layout, reopens the port
after an unplug, and runs in the tray, behind a password, or headless.
It types through XTest in X11 sessions, the compositor's virtual keyboard on
wlroots Wayland compositors and /dev/uinput elsewhere; its udev rule gives
the user at the seat access to /dev/uinput.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The unit's ExecStart is written at install time from the prefix: it must be /usr there, with
# the staging folder as DESTDIR, not the staging folder itself.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
find_program(RERADAV_RPMBUILD rpmbuild)
if(RERADAV_RPMBUILD)
    list(APPEND CPACK_GENERATOR RPM)
endif()
set(RERADAV_SCRIPT ${PROJECT_SOURCE_DIR}/data/package/reload-udev)

# Debian: library dependencies from dpkg-shlibdeps. Qt's platform and image plugins are loaded
# at run time, so no library link names them: the X11 and Wayland platforms and the SVG icon.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop")
set(RERADAV_DEBIAN_SCRIPTS ${PROJECT_BINARY_DIR}/package/debian)
foreach(script postinst postrm)
    configure_file(${RERADAV_SCRIPT} ${RERADAV_DEBIAN_SCRIPTS}/${script} COPYONLY)
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${RERADAV_DEBIAN_SCRIPTS}/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# RPM: library dependencies from rpmbuild's own scan; the plugins' package names differ between
# Fedora and openSUSE, so they are not required. Shared folders stay owned by the system.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_PACKAGE_LICENSE "MIT")
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_POST_INSTALL_SCRIPT_FILE ${RERADAV_SCRIPT})
set(CPACK_RPM_POST_UNINSTALL_SCRIPT_FILE ${RERADAV_SCRIPT})
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/lib/udev /usr/lib/udev/rules.d /usr/lib/systemd /usr/lib/systemd/user
    /usr/share/applications /usr/share/metainfo /usr/share/man /usr/share/man/man1
    /usr/share/icons /usr/share/icons/hicolor /usr/share/icons/hicolor/scalable
    /usr/share/icons/hicolor/scalable/apps)

include(CPack)
