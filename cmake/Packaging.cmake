# What a Debian package installs: the three programs, the converter's udev rule, a desktop entry
# and its icon. `scripts/package.sh` builds the .deb with CPack; the runtime Depends come from the
# libraries the programs link (dpkg-shlibdeps), so they follow whatever Qt, FFmpeg and SDL2 the
# build machine has.
include(GNUInstallDirs)

set(firnadesk_programs firnadesk-cli firnadesk-cli-rehearse firnadesk-bench)
if(TARGET firnadesk)
  list(PREPEND firnadesk_programs firnadesk)
endif()
install(TARGETS ${firnadesk_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# udev reads /usr/lib/udev/rules.d on Debian (the same folder as /lib/udev/rules.d after usrmerge).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/udev/99-firnadesk-ftdi.rules DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/desktop/firnadesk.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/desktop/firnadesk.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME firnadesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "firnadesk developers <firnadesk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator's console for electrically fired pyrotechnic shows")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds and tests the firing consoles on an RS485 bus (FTDI USB-to-RS485 converter), writes and verifies the show scenario in their memory and runs the show with its soundtrack. Includes firnadesk-cli and the virtual bench firnadesk-bench.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The converter's tty belongs to dialout; udev must exist for the rule to matter.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
include(CPack)
