# packaging.cmake: what `cmake --install` puts where, and the two packages CPack makes of it: the Windows installer
# (NSIS, from the Windows build) and the Debian package (DEB, from the native build). `make installer` and `make deb`
# run CPack; the sample theatres come from build/theatres (`make theatres`).
#
# The files made for the packages alone (man pages, icon, changelog; the installer's README.txt) are built by the
# targets kestrel_package_files and kestrel_readme_txt, which `make deb` and `make installer` build before CPack runs,
# not by every build: the sanitizer builds would otherwise run their instrumented programs for the man pages.
#
# Folders that other work adds (the FlightGear add-on in sim/flightgear/, the export guide docs/export-scripts.md) go
# into both packages when they exist at configure time.

file(STRINGS ${CMAKE_SOURCE_DIR}/resources/kestrel.rc KESTREL_VERSION_LINE REGEX "IDS_VERSION")
string(REGEX REPLACE ".*IDS_VERSION \"([0-9.]+)\\(.*" "\\1" KESTREL_VERSION "${KESTREL_VERSION_LINE}")
set(KESTREL_THEATRES_DIR ${CMAKE_SOURCE_DIR}/build/theatres CACHE PATH "The rendered sample theatres")
set(KESTREL_THEATRE_FILES)
foreach(theatre krasnodar caucasus georgia)
  list(APPEND KESTREL_THEATRE_FILES ${KESTREL_THEATRES_DIR}/kestrel-${theatre}.bmp
       ${KESTREL_THEATRES_DIR}/kestrel-${theatre}.grid)
endforeach()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(KESTREL_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/resources/packaging)

set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR Orvel)
set(CPACK_PACKAGE_VERSION ${KESTREL_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "navigation MFD display for a combat flight simulator")
set(CPACK_PACKAGE_CONTACT "KESTREL developers <kestrel@example.org>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY KESTREL)
set(CPACK_STRIP_FILES TRUE)

if(WIN32)
  # Everything in one folder, as the zip has it: kestrel.exe finds button.wav in its current folder, which its
  # shortcut makes the install folder.
  if(TARGET kestrel)
    install(TARGETS kestrel RUNTIME DESTINATION .)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/button.wav DESTINATION .)
  install(FILES ${KESTREL_THEATRE_FILES} DESTINATION theatres)
  # The README of the zip, without what only the zip has (setup.cmd).
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/README.txt
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make-readme-txt.sh installer ${KESTREL_VERSION} ${CMAKE_BINARY_DIR}/README.txt
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-readme-txt.sh ${CMAKE_SOURCE_DIR}/resources/release/README.txt.in
            ${CMAKE_SOURCE_DIR}/scripts/key-help.sh ${CMAKE_SOURCE_DIR}/README.md)
  add_custom_target(kestrel_readme_txt DEPENDS ${CMAKE_BINARY_DIR}/README.txt)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  if(EXISTS ${CMAKE_SOURCE_DIR}/sim/flightgear)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/sim/flightgear/ DESTINATION flightgear)
  endif()
  if(EXISTS ${CMAKE_SOURCE_DIR}/docs/export-scripts.md)
    install(FILES ${CMAKE_SOURCE_DIR}/docs/export-scripts.md DESTINATION .)
  endif()

  set(CPACK_GENERATOR NSIS)
  set(CPACK_PACKAGE_FILE_NAME kestrel-${KESTREL_VERSION}-setup)
  # Our own installer script: per-user installs without administrator rights, the theatre settings written only
  # where the pilot has none, and an uninstaller that keeps the settings key (CMake's stock script removes the
  # key it names after the vendor).
  set(CPACK_MODULE_PATH ${KESTREL_PACKAGING_DIR}/nsis)
  set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
else()
  if(TARGET kestrel)
    install(TARGETS kestrel RUNTIME DESTINATION bin)
  endif()
  if(TARGET kestrel-feed)
    install(TARGETS kestrel-feed RUNTIME DESTINATION bin)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/button.wav DESTINATION share/kestrel)
  install(FILES ${KESTREL_THEATRE_FILES} DESTINATION share/kestrel/theatres)
  # The installed defaults: the theatres' paths, read where the pilot's own settings.ini has no such value.
  install(FILES ${KESTREL_PACKAGING_DIR}/settings.ini DESTINATION /etc/xdg/kestrel)
  install(FILES ${KESTREL_PACKAGING_DIR}/kestrel.desktop DESTINATION share/applications)

  # Made at build time: the menu icon from the program's own icon, the man pages from the programs' --help (so
  # that they cannot drift from it), and the compressed changelog.
  set(generated ${CMAKE_BINARY_DIR}/packaging)
  add_custom_command(OUTPUT ${generated}/kestrel.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND convert ${CMAKE_SOURCE_DIR}/resources/kestrel.ico[0] -strip ${generated}/kestrel.png
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/kestrel.ico)
  set(manuals)
  foreach(program kestrel kestrel-feed)
    if(TARGET ${program})
      add_custom_command(OUTPUT ${generated}/${program}.1.gz
        COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make-manual.sh $<TARGET_FILE:${program}> ${KESTREL_VERSION}
                ${KESTREL_PACKAGING_DIR}/${program}.h2m ${generated}/${program}.1.gz
        DEPENDS ${program} ${CMAKE_SOURCE_DIR}/scripts/make-manual.sh ${KESTREL_PACKAGING_DIR}/${program}.h2m)
      list(APPEND manuals ${generated}/${program}.1.gz)
    endif()
  endforeach()
  add_custom_command(OUTPUT ${generated}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND gzip -9n -c ${KESTREL_PACKAGING_DIR}/changelog > ${generated}/changelog.gz
    DEPENDS ${KESTREL_PACKAGING_DIR}/changelog)
  add_custom_target(kestrel_package_files DEPENDS ${generated}/kestrel.png ${generated}/changelog.gz ${manuals})
  install(FILES ${generated}/kestrel.png DESTINATION share/icons/hicolor/32x32/apps)
  install(FILES ${manuals} DESTINATION share/man/man1)
  install(FILES ${generated}/changelog.gz ${KESTREL_PACKAGING_DIR}/copyright ${CMAKE_SOURCE_DIR}/README.md
          DESTINATION share/doc/kestrel)
  if(EXISTS ${CMAKE_SOURCE_DIR}/sim/flightgear)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/sim/flightgear/ DESTINATION share/kestrel/flightgear)
  endif()
  if(EXISTS ${CMAKE_SOURCE_DIR}/docs/export-scripts.md)
    install(FILES ${CMAKE_SOURCE_DIR}/docs/export-scripts.md DESTINATION share/doc/kestrel)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the binaries link, found by dpkg-shlibdeps, not a list kept by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "KESTREL shows a moving map of the simulator's theatre with the aircraft,\n"
      "the flight plan, a bullseye, tactical tags shared with the squad, the squad\n"
      "mates' positions and the failure states, streamed by the simulator's export\n"
      "script as UDP datagrams, and is driven through five pages with 28 bezel\n"
      "buttons. kestrel-feed flies sample routes and records and replays datagrams.")
  string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  # The system's settings file is a configuration file: an upgrade keeps the administrator's changes.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${KESTREL_PACKAGING_DIR}/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
endif()

include(CPack)
