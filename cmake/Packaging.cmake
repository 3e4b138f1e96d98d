# What an installation holds, and the Debian package made of it:
#   cmake --build build && (cd build && cpack -G DEB)
# Files that need the version or this machine's library folder are made in
# build/packaging/ first.

set(TARNWICK_APP_ID example.orvane_community.Tarnwick)
set(TARNWICK_DEB_VERSION ${PROJECT_VERSION}-1)
set(pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(TARNWICK_LIBRARY_ARCHITECTURE ${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(TARNWICK_LIBRARY_ARCHITECTURE x86_64-linux-gnu)
endif()

configure_file(${pkg_src}/odbcinst.ini.example.in ${pkg_out}/odbcinst.ini.example @ONLY)
configure_file(${pkg_src}/${TARNWICK_APP_ID}.metainfo.xml ${pkg_out}/${TARNWICK_APP_ID}.metainfo.xml @ONLY)
# The demo's driver map, for the SQLite ODBC driver where Debian installs it.
set(TARNWICK_ODBC_DRIVER /usr/lib/${TARNWICK_LIBRARY_ARCHITECTURE}/odbc/libsqlite3odbc.so)
configure_file(${PROJECT_SOURCE_DIR}/demo/odbcinst.ini.in ${pkg_out}/demo/odbcinst.ini @ONLY)

# Manual pages and the package's change log are installed compressed, without time stamps.
set(gzipped)
foreach(page tarnwick.1 tarnwick-export.1 changelog)
  configure_file(${pkg_src}/${page} ${pkg_out}/${page} @ONLY)
  add_custom_command(OUTPUT ${pkg_out}/${page}.gz
    COMMAND gzip -9 -n -c ${pkg_out}/${page} > ${pkg_out}/${page}.gz
    DEPENDS ${pkg_out}/${page})
  list(APPEND gzipped ${pkg_out}/${page}.gz)
endforeach()
# The demo database the README's installed example reads.
add_custom_command(OUTPUT ${pkg_out}/demo/OrvaneDb
  COMMAND tarnwick-demo-db ${pkg_out}/demo/OrvaneDb --rollback-journal
  DEPENDS tarnwick-demo-db ${PROJECT_SOURCE_DIR}/demo/schema.sql)
add_custom_target(tarnwick_package_files ALL DEPENDS ${gzipped} ${pkg_out}/demo/OrvaneDb)

install(TARGETS tarnwick tarnwick-export RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/Tarnwick.htm ${PROJECT_SOURCE_DIR}/README.md ${pkg_src}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${pkg_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.Debian.gz)
install(FILES ${pkg_out}/tarnwick.1.gz ${pkg_out}/tarnwick-export.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pkg_out}/odbcinst.ini.example DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick)
install(FILES ${pkg_out}/demo/OrvaneDb ${pkg_out}/demo/odbcinst.ini ${PROJECT_SOURCE_DIR}/demo/registry.reg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/demo)
install(FILES ${pkg_src}/${TARNWICK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg_out}/${TARNWICK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/tarnwick.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${TARNWICK_APP_ID}.svg)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <tarnwick@tools.orvane-community.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "export private distribution lists of a voice-messaging server")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "An administrator's tool for an Orvane voice-messaging server: it checks the
installation, reads the product's database over ODBC (read only), lets the
administrator choose subscribers in a wizard, and exports every private
distribution list they own, with every member and the members' extensions,
to one CSV file, with a dated log. tarnwick-export does the same without
windows, for scripts and schedulers.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://${TARNWICK_HOME_SITE}/Applications/Orvane/Tarnwick.htm)
# Written by hand: the libraries the programs link (scripts/package-check.sh
# compares them with what the binaries need), and the ODBC plugin Qt loads at
# run time, which no tool can find.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 5), \
libqt6core6 (>= 6.4.0), libqt6gui6 (>= 6.1.2), libqt6network6 (>= 6.1.2), libqt6sql6 (>= 6.1.2), \
libqt6svg6 (>= 6.2.0), libqt6widgets6 (>= 6.3.0), libqt6sql6-odbc, libodbc2 (>= 2.3.1)")
# The drivers a user maps "SQL Server" to; the demo's is only suggested.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc, odbc-postgresql")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsqliteodbc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
