# Printing 1,000 questions to PDF beside converting their rich text once; resident size from
# 1,000 to 10,000 printed questions.
add_executable(print_bench print_bench.cpp)
target_link_libraries(print_bench PRIVATE zorbex_print zorbex_store_internals benchmark::benchmark)
target_include_directories(print_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
zorbex_warnings(print_bench)
