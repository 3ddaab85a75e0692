# RTF reader and writer throughput beside a plain copy of the same bytes.
add_executable(rtf_bench rtf_bench.cpp)
target_link_libraries(rtf_bench PRIVATE zorbex_rtf benchmark::benchmark)
target_compile_definitions(rtf_bench PRIVATE ZORBEX_CORPUS_DIR="${ZORBEX_CORPUS_DIR}"
                           ZORBEX_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
zorbex_warnings(rtf_bench)
