# Search over a 100,000-question bank beside a LIKE scan of the same plain texts; the index
# build beside converting all the RTF once.
add_executable(bench_search search_bench.cpp)
target_link_libraries(bench_search PRIVATE zorbex_search zorbex_store_internals benchmark::benchmark)
zorbex_warnings(bench_search)
