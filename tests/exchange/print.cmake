# Printing below the windows (documents, pages, PDF read back with poppler's tools) and the
# bank tool's print command.
add_executable(print_tests print_test.cpp print_tool_test.cpp)
target_link_libraries(print_tests PRIVATE zorbex_print zorbex_qt_test_main)
target_compile_definitions(print_tests PRIVATE ZORBEX_BANK_TOOL="$<TARGET_FILE:zorbex-bank>")
add_dependencies(print_tests zorbex-bank)
zorbex_warnings(print_tests)
gtest_discover_tests(print_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)

# The windows' "Print..." wiring, with the preview replaced by a stand-in.
add_executable(print_window_tests print_windows_test.cpp)
target_link_libraries(print_window_tests PRIVATE zorbex_app zorbex_qt_test_main)
target_include_directories(print_window_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_SOURCE_DIR}/tests/app)
zorbex_warnings(print_window_tests)
gtest_discover_tests(print_window_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
