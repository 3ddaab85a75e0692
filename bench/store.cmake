add_executable(bench_store store_bench.cpp)
target_link_libraries(bench_store PRIVATE zorbex_store benchmark::benchmark)
zorbex_warnings(bench_store)
