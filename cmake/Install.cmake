# Installation: the hack where XScreenSaver and MATE look for hacks (libexec/xscreensaver/),
# the resource folder (share/reefmere/, found from the hack as ../../share/reefmere), the
# settings dialog description for XScreenSaver, a .desktop entry for MATE's screen saver,
# the manual page, and a .deb through CPack.
set(REEFMERE_HACK_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)

if(TARGET reefmere)
  install(TARGETS reefmere RUNTIME DESTINATION ${REEFMERE_HACK_DIR})
  # Standalone use from the shell: bin/reefmere points at the hack.
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"../${REEFMERE_HACK_DIR}/reefmere\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/reefmere\" SYMBOLIC)")
endif()
if(TARGET reefmere-config)
  install(TARGETS reefmere-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/src/app/config/reefmere-config.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

install(DIRECTORY ${REEFMERE_SHARE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/reefmere
        PATTERN ".stamp" EXCLUDE)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/reefmere.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
# MATE's screen saver finds reefmere through its hack folder (or bin/) on PATH.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/reefmere.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/reefmere.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reefmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Reefmere maintainers <reefmere@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D aquarium screen saver for XScreenSaver and MATE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver | mate-screensaver")
include(CPack)
