# SOCI as packaged by Debian ships no CMake config nor pkg-config file: find
# its libraries by hand. Gives soci::backends (core with the SQLite,
# PostgreSQL and ODBC backends).
find_path(SOCI_INCLUDE_DIR soci/soci.h REQUIRED)
find_path(PQ_INCLUDE_DIR libpq-fe.h PATHS /usr/include/postgresql REQUIRED)
find_package(Boost REQUIRED)
foreach(part core sqlite3 postgresql odbc)
  find_library(SOCI_${part}_LIBRARY soci_${part} REQUIRED)
endforeach()
find_library(SQLITE3_LIBRARY sqlite3 REQUIRED)
find_library(PQ_LIBRARY pq REQUIRED)
find_library(ODBC_LIBRARY odbc REQUIRED)
add_library(soci::backends INTERFACE IMPORTED)
target_include_directories(soci::backends INTERFACE ${SOCI_INCLUDE_DIR} ${PQ_INCLUDE_DIR} ${Boost_INCLUDE_DIRS})
target_link_libraries(soci::backends INTERFACE
  ${SOCI_sqlite3_LIBRARY} ${SOCI_postgresql_LIBRARY} ${SOCI_odbc_LIBRARY} ${SOCI_core_LIBRARY}
  ${SQLITE3_LIBRARY} ${PQ_LIBRARY} ${ODBC_LIBRARY} ${CMAKE_DL_LIBS})
