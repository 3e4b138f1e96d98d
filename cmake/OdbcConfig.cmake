# unixODBC finds the driver named "SQL Server" through odbcinst.ini in the folder
# named by ODBCSYSINI. The build writes one such folder per back end, pointing the
# name at the driver found on this machine.
if(WIN32)
  return()
endif()
find_library(TARNWICK_SQLITE_ODBC NAMES sqlite3odbc libsqlite3odbc.so
  PATHS /usr/lib/x86_64-linux-gnu/odbc /usr/lib/aarch64-linux-gnu/odbc /usr/lib/odbc /usr/local/lib
  PATH_SUFFIXES odbc)
find_library(TARNWICK_PSQL_ODBC NAMES psqlodbcw.so psqlodbcw
  PATHS /usr/lib/x86_64-linux-gnu/odbc /usr/lib/aarch64-linux-gnu/odbc /usr/lib/odbc /usr/local/lib
  PATH_SUFFIXES odbc)
set(TARNWICK_ODBC_SQLITE_DIR ${CMAKE_BINARY_DIR}/odbc/sqlite)
set(TARNWICK_ODBC_PG_DIR ${CMAKE_BINARY_DIR}/odbc/postgres)
if(TARNWICK_SQLITE_ODBC)
  set(TARNWICK_ODBC_DRIVER ${TARNWICK_SQLITE_ODBC})
  configure_file(${PROJECT_SOURCE_DIR}/demo/odbcinst.ini.in ${TARNWICK_ODBC_SQLITE_DIR}/odbcinst.ini @ONLY)
else()
  message(WARNING "SQLite ODBC driver not found (Debian: libsqliteodbc); the demo and tests cannot reach a database")
endif()
if(TARNWICK_PSQL_ODBC)
  set(TARNWICK_ODBC_DRIVER ${TARNWICK_PSQL_ODBC})
  configure_file(${PROJECT_SOURCE_DIR}/demo/odbcinst.ini.in ${TARNWICK_ODBC_PG_DIR}/odbcinst.ini @ONLY)
endif()
