add_executable(bench_editor editor_bench.cpp)
target_link_libraries(bench_editor PRIVATE zorbex_kinds zorbex_store_internals benchmark::benchmark)
zorbex_warnings(bench_editor)

# Resident size after many question switches (prints its own figures; no Google Benchmark).
add_executable(bench_editor_memory editor_memory.cpp)
target_link_libraries(bench_editor_memory PRIVATE zorbex_kinds zorbex_store_internals)
target_include_directories(bench_editor_memory PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
zorbex_warnings(bench_editor_memory)
