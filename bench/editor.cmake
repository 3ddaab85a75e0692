add_executable(bench_editor editor_bench.cpp)
target_link_libraries(bench_editor PRIVATE zorbex_kinds benchmark::benchmark)
zorbex_warnings(bench_editor)
