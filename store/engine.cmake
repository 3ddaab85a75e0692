# SQLite3 Multiple Ciphers as a static C library: the engine of every bank file. Its source is
# not kept in the repository; scripts/install-deps.sh fetches it once and CMake checks that the
# files are the ones pinned before compiling them.
set(ZORBEX_SQLITE3MC_DIR "${PROJECT_SOURCE_DIR}/third_party/sqlite3mc" CACHE PATH
    "Folder holding the engine's amalgamation (sqlite3.c, sqlite3.h)")
file(STRINGS "${PROJECT_SOURCE_DIR}/scripts/sqlite3mc.sha512" zorbex_engine_sums)
foreach(line ${zorbex_engine_sums})
  string(REGEX MATCH "^([0-9a-f]+)  (.+)$" _ "${line}")
  set(expected "${CMAKE_MATCH_1}")
  set(file "${ZORBEX_SQLITE3MC_DIR}/${CMAKE_MATCH_2}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "The engine's source ${file} is missing: run scripts/install-deps.sh, which fetches it.")
  endif()
  file(SHA512 "${file}" actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "The engine's source ${file} is not the pinned one (scripts/sqlite3mc.sha512): "
                        "delete ${ZORBEX_SQLITE3MC_DIR} and run scripts/install-deps.sh again.")
  endif()
endforeach()
# Checked again when a file changes, not only at the first configure.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${ZORBEX_SQLITE3MC_DIR}/sqlite3.c" "${ZORBEX_SQLITE3MC_DIR}/sqlite3.h")

add_library(zorbex_sqlite3mc STATIC "${ZORBEX_SQLITE3MC_DIR}/sqlite3.c")
# Only the engine's header folder: the system's sqlite3.h (a different library) must not be found
# before it.
target_include_directories(zorbex_sqlite3mc BEFORE PUBLIC "${ZORBEX_SQLITE3MC_DIR}")
# The options, one a line, shared with the fuzzers' and the Windows check's builds.
file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/engine.defines" zorbex_engine_defines REGEX "^[A-Z]")
target_compile_definitions(zorbex_sqlite3mc PRIVATE ${zorbex_engine_defines})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/engine.defines")
set_target_properties(zorbex_sqlite3mc PROPERTIES POSITION_INDEPENDENT_CODE ON C_STANDARD 99 C_EXTENSIONS ON)
# Not the project's code: its warnings are its authors' affair.
target_compile_options(zorbex_sqlite3mc PRIVATE -w)
target_link_libraries(zorbex_sqlite3mc PRIVATE m)
find_package(Threads REQUIRED)
target_link_libraries(zorbex_sqlite3mc PUBLIC Threads::Threads)
