# Installing Orlenta where a Debian system expects it, and the Debian package (`make package`,
# CPack): /usr/bin/orlenta and orlenta-db, the help file in /usr/share/orlenta, the icon, the
# desktop entry, the manual pages and the package's own documentation.

set(ORLENTA_MAINTAINER "Orlenta developers <orlenta@school.example>" CACHE STRING
  "Maintainer of the Debian package: name <address>")
set(ORLENTA_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ORLENTA_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

# Dates from SOURCE_DATE_EPOCH when it is set, so that a rebuild makes the same package.
string(TIMESTAMP ORLENTA_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP ORLENTA_YEAR "%Y" UTC)
string(TIMESTAMP ORLENTA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

install(TARGETS orlenta orlenta-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/MyHelp.chm DESTINATION ${CMAKE_INSTALL_DATADIR}/orlenta)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/app.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME orlenta.svg)
install(FILES ${ORLENTA_PACKAGING_DIR}/orlenta.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Manual pages and the Debian changelog go compressed, as Debian wants them (gzip -9n: no name or
# time stamp inside, the same bytes on every build).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed "")
foreach(page orlenta.1 orlenta-db.1 changelog)
  configure_file(${ORLENTA_PACKAGING_DIR}/${page} ${ORLENTA_PACKAGING_OUT}/${page} @ONLY)
  add_custom_command(OUTPUT ${ORLENTA_PACKAGING_OUT}/${page}.gz
    COMMAND ${GZIP_PROGRAM} -9nf -k ${ORLENTA_PACKAGING_OUT}/${page}
    DEPENDS ${ORLENTA_PACKAGING_OUT}/${page}
    COMMENT "Compressing ${page}")
  list(APPEND compressed ${ORLENTA_PACKAGING_OUT}/${page}.gz)
endforeach()
add_custom_target(packaging_docs ALL DEPENDS ${compressed})
configure_file(${ORLENTA_PACKAGING_DIR}/copyright ${ORLENTA_PACKAGING_OUT}/copyright @ONLY)
install(FILES ${ORLENTA_PACKAGING_OUT}/orlenta.1.gz ${ORLENTA_PACKAGING_OUT}/orlenta-db.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ORLENTA_PACKAGING_OUT}/copyright ${ORLENTA_PACKAGING_OUT}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orlenta)
# Data sources to start from, one for each engine (the help's page on the data source explains them).
install(FILES ${ORLENTA_PACKAGING_DIR}/examples/odbc.ini.postgresql ${ORLENTA_PACKAGING_DIR}/examples/odbc.ini.sqlite
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orlenta/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orlenta)
set(CPACK_PACKAGE_VENDOR "The Orlenta developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORLENTA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "student records for the academic office of a school")
set(CPACK_PACKAGE_DESCRIPTION "Orlenta keeps, in one relational database, the personal records of the
students, their course scores, award and punishment records, the history of
their enrolment status, the course catalogue and the staff accounts. Staff sign
in to search, browse and edit them; students sign in to see their own record
and scores. Every text the program shows is Simplified Chinese.
.
The program reaches its database through the ODBC data source Orlenta: a
PostgreSQL server through psqlODBC, or an SQLite database file. orlenta-db
creates and fills the database.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # orlenta_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORLENTA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; what they load at run time is named
# here: Qt's ODBC and SQLite drivers, its SVG icon and picture plugins, its Chinese translations
# (Qt's own dialogs), the ODBC driver manager and both engines' ODBC drivers, and a font with the
# Chinese characters.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6sql6-odbc, libqt6sql6-sqlite, libqt6svg6, qt6-translations-l10n, unixodbc, odbcinst, libsqliteodbc, odbc-postgresql, fonts-wqy-microhei | fonts-noto-cjk")
# orlenta-db backup runs pg_dump and pg_restore on a database on a PostgreSQL server.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "postgresql-client")
include(CPack)
