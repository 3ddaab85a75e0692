# The editor on a bank on a server beside the same bank in a file; starts its own server.
add_executable(bench_server server_bench.cpp)
target_link_libraries(bench_server PRIVATE zorbex_kinds zorbex_store_internals benchmark::benchmark)
target_compile_definitions(bench_server PRIVATE ZORBEX_PG_SCRIPT="${CMAKE_SOURCE_DIR}/scripts/pg-test-cluster.sh")
zorbex_warnings(bench_server)
