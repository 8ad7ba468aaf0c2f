# Installation: the hack where XScreenSaver and MATE look for hacks (libexec/xscreensaver/),
# the resource folder (share/reefmere/, found from the hack as ../../share/reefmere), the
# settings dialog description for XScreenSaver, a .desktop entry for MATE's screen saver,
# the manual pages, and a .deb through CPack that lintian accepts as it stands.
set(REEFMERE_HACK_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
set(REEFMERE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/reefmere)
set(REEFMERE_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${REEFMERE_PACKAGING_OUT})

if(TARGET reefmere)
  install(TARGETS reefmere RUNTIME DESTINATION ${REEFMERE_HACK_DIR})
  # Standalone use from the shell: bin/reefmere points at the hack. A real symlink installed
  # as a file, so the install manifest and the package both list it.
  file(RELATIVE_PATH _hack_from_bin /usr/${CMAKE_INSTALL_BINDIR} /usr/${REEFMERE_HACK_DIR}/reefmere)
  file(CREATE_LINK ${_hack_from_bin} ${REEFMERE_PACKAGING_OUT}/reefmere SYMBOLIC)
  install(FILES ${REEFMERE_PACKAGING_OUT}/reefmere DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET reefmere-config)
  install(TARGETS reefmere-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/src/app/config/reefmere-config.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
if(TARGET reefpack)
  install(TARGETS reefpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# A stripped install (cpack, install --strip) also drops the sections that only name the
# compiler, as Debian's own strip step does.
set(_installed_programs)
foreach(prog reefmere-config reefpack)
  if(TARGET ${prog})
    list(APPEND _installed_programs ${CMAKE_INSTALL_BINDIR}/${prog})
  endif()
endforeach()
if(TARGET reefmere)
  list(APPEND _installed_programs ${REEFMERE_HACK_DIR}/reefmere)
endif()
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(f ${_installed_programs})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${f}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

install(DIRECTORY ${REEFMERE_SHARE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/reefmere
        PATTERN ".stamp" EXCLUDE)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/reefmere.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
# MATE's screen saver finds reefmere through its hack folder (or bin/) on PATH.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/reefmere.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)

# Manual pages and the changelog go in gzipped at the highest level and without a time
# stamp (gzip -n), as Debian wants them; the same bytes on every build.
set(_gz_outputs)
foreach(doc reefmere.6 reefmere-config.1 reefpack.1 changelog)
  add_custom_command(OUTPUT ${REEFMERE_PACKAGING_OUT}/${doc}.gz
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/${doc} > ${REEFMERE_PACKAGING_OUT}/${doc}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${doc}
    VERBATIM)
  list(APPEND _gz_outputs ${REEFMERE_PACKAGING_OUT}/${doc}.gz)
endforeach()
add_custom_target(reefmere_docs ALL DEPENDS ${_gz_outputs})
install(FILES ${REEFMERE_PACKAGING_OUT}/reefmere.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${REEFMERE_PACKAGING_OUT}/reefmere-config.1.gz ${REEFMERE_PACKAGING_OUT}/reefpack.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A native package: its one changelog is changelog.gz.
install(FILES ${REEFMERE_PACKAGING_OUT}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${REEFMERE_DOC_DIR})

# The changelog's newest entry names the version being packaged.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog _changelog_top LIMIT_COUNT 1)
if(NOT _changelog_top MATCHES "^reefmere \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: the newest entry is not version ${PROJECT_VERSION}")
endif()

set(REEFMERE_PACKAGER "The Reefmere developers <reefmere@example.org>" CACHE STRING
    "Maintainer field of the .deb: name <address>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reefmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${REEFMERE_PACKAGER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D aquarium screen saver for XScreenSaver and MATE")
set(CPACK_PACKAGE_DESCRIPTION "\
Skeleton-animated fish swim through a tank drawn with OpenGL over a picture of
the desktop, the desktop wallpaper or a random picture from a folder. Bubbles
rise to the water line; the water surface ripples, refracts the background and
throws caustic light onto the fish. A looping sound plays on the main monitor.

The package holds the hack (for XScreenSaver and MATE's screen saver), the
settings dialog reefmere-config with its fish download page, and reefpack, the
kit that packs MilkShape 3D models and TGA skins into new species.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The -fps overlay draws with DejaVu Sans Mono, read at run time.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver | mate-screensaver, fonts-dejavu-core")
include(CPack)
