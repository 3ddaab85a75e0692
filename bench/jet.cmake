# Migrating a Jet file beside mdb-export of the same tables (Debian package mdbtools).
add_executable(jet_bench jet_bench.cpp)
target_link_libraries(jet_bench PRIVATE zorbex_jet benchmark::benchmark)
target_compile_definitions(jet_bench PRIVATE ZORBEX_CORPUS_DIR="${ZORBEX_CORPUS_DIR}")
zorbex_warnings(jet_bench)
