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
target_compile_definitions(zorbex_sqlite3mc PRIVATE
  # Every file of ours is in SQLCipher 3's format: the default of every key, attachment and copy
  # (the store names it on each connection as well). ChaCha20 stays only because the engine's
  # value-level encryption functions do not compile without it.
  HAVE_CIPHER_SQLCIPHER=1 HAVE_CIPHER_CHACHA20=1 HAVE_CIPHER_AES_128_CBC=0 HAVE_CIPHER_AES_256_CBC=0
  HAVE_CIPHER_RC4=0 HAVE_CIPHER_ASCON128=0 HAVE_CIPHER_AEGIS=0
  CODEC_TYPE=CODEC_TYPE_SQLCIPHER SQLCIPHER_VERSION_DEFAULT=SQLCIPHER_VERSION_3 SQLITE3MC_USE_SQLCIPHER_LEGACY
  # Each connection is used by one thread at a time (it is opened with SQLITE_OPEN_NOMUTEX); the
  # engine's shared state stays guarded.
  SQLITE_THREADSAFE=2
  # The search index (FTS4, the standard query syntax as the files' old engine had it) and FTS5.
  SQLITE_ENABLE_FTS4 SQLITE_ENABLE_FTS5
  # Temporary tables and sorts stay in memory: nothing of a bank reaches the disk unencrypted.
  SQLITE_TEMP_STORE=2
  # Deleted content is overwritten; strings are never taken for identifiers; no extension loading.
  SQLITE_SECURE_DELETE SQLITE_DQS=0 SQLITE_OMIT_LOAD_EXTENSION
  SQLITE_DEFAULT_MEMSTATUS=0)
set_target_properties(zorbex_sqlite3mc PROPERTIES POSITION_INDEPENDENT_CODE ON C_STANDARD 99 C_EXTENSIONS ON)
# Not the project's code: its warnings are its authors' affair.
target_compile_options(zorbex_sqlite3mc PRIVATE -w)
target_link_libraries(zorbex_sqlite3mc PRIVATE m)
find_package(Threads REQUIRED)
target_link_libraries(zorbex_sqlite3mc PUBLIC Threads::Threads)
