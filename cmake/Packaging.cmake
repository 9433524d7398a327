# What a Debian package installs: the three programs with a manual page each, the rehearse, report and timecode helpers
# of firnadesk-cli (in libexec: no user runs it by hand), the converter's udev rule with the scripts that
# have udev reload it, a desktop entry and its icon, the changelog and the copyright file.
# `scripts/package.sh` builds the .deb with CPack; the runtime Depends come from the libraries the
# programs link (dpkg-shlibdeps), so they follow whatever Qt, FFmpeg and SDL2 the build machine has.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake)

set(firnadesk_programs firnadesk-cli firnadesk-bench)
set(firnadesk_man_names
    firnadesk-cli "bus tools of the firnadesk console without its window"
    firnadesk-bench "virtual bench of firing consoles served on a pseudo-terminal")
if(TARGET firnadesk)
  list(PREPEND firnadesk_programs firnadesk)
  list(PREPEND firnadesk_man_names firnadesk "operator's console for electrically fired pyrotechnic shows")
endif()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
install(TARGETS ${firnadesk_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# firnadesk-cli looks for it there (tools/cli/helper_program.h).
install(TARGETS firnadesk-cli-rehearse firnadesk-cli-report firnadesk-cli-timecode RUNTIME DESTINATION ${FIRNADESK_HELPERS_DIR})

firnadesk_manpages(firnadesk_man_pages ${firnadesk_man_names})
if(firnadesk_man_pages)
  install(FILES ${firnadesk_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# udev reads /usr/lib/udev/rules.d on Debian (the same folder as /lib/udev/rules.d after usrmerge).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/udev/99-firnadesk-ftdi.rules DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/desktop/firnadesk.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/desktop/firnadesk.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The changelog goes in gzipped (-9n, as Debian wants it), the copyright file as it is.
set(firnadesk_changelog ${PROJECT_BINARY_DIR}/doc/changelog)
add_custom_command(
  OUTPUT ${firnadesk_changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/debian/changelog ${firnadesk_changelog}
  COMMAND gzip -9nf ${firnadesk_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(firnadesk_changelog ALL DEPENDS ${firnadesk_changelog}.gz)
install(FILES ${firnadesk_changelog}.gz ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME firnadesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "firnadesk developers <firnadesk@firnadesk.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator's console for electrically fired pyrotechnic shows")
# Lines of at most 80 characters; an empty line is a paragraph break.
set(CPACK_PACKAGE_DESCRIPTION
    "Finds and tests the firing consoles on an RS485 bus (through an FTDI
USB-to-RS485 converter), writes and verifies the show scenario in their memory
and runs the show with its soundtrack.

Also includes firnadesk-cli, the bus tools without the window, and the virtual
bench firnadesk-bench, a bus of consoles on a pseudo-terminal for rehearsals.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# Debug symbols are not shipped.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries the programs link, found by dpkg-shlibdeps, are added to these. Qt only recommends
# its platform plugins, and without them the window cannot start: an install without recommended
# packages must still bring them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The converter's tty belongs to dialout; udev must exist for the rule to matter.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
                                       ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
