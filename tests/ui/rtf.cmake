# Tests of the RTF reader and writer, and of the rich-text box.

# A test program with its own main(): programs that show widgets must set the offscreen
# platform themselves, since test discovery runs them without CTest's environment.
function(zorbex_qt_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest)
  target_compile_definitions(${name} PRIVATE ZORBEX_CORPUS_DIR="${ZORBEX_CORPUS_DIR}"
                             ZORBEX_FIXTURES_DIR="${ZORBEX_FIXTURES_DIR}")
  zorbex_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()

zorbex_test(rtf_test rtf_test_util.cpp rtf_reader_test.cpp rtf_writer_test.cpp rtf_corpus_test.cpp)
target_link_libraries(rtf_test PRIVATE zorbex_rtf)

zorbex_qt_test(rich_text_box_test rich_text_box_test.cpp)
target_link_libraries(rich_text_box_test PRIVATE zorbex_ui)

# The command-line companions: a file, standard input, and an unreadable file.
add_test(NAME zorbex_bank.rtf_text COMMAND zorbex-bank rtf-text ${ZORBEX_FIXTURES_DIR}/rtf/richedit3_japanese.rtf)
set_tests_properties(zorbex_bank.rtf_text PROPERTIES PASS_REGULAR_EXPRESSION "表の㎜ The word `quoted’ ~x~ €")
add_test(NAME zorbex_bank.rtf_roundtrip_stdin
         COMMAND sh -c "$<TARGET_FILE:zorbex-bank> rtf-roundtrip - < '${ZORBEX_FIXTURES_DIR}/rtf/richedit1.rtf'")
set_tests_properties(zorbex_bank.rtf_roundtrip_stdin PROPERTIES
  PASS_REGULAR_EXPRESSION "{\\\\rtf1\\\\ansi\\\\ansicpg1252.*\\\\f1\\\\fs23\\\\b Bold\\\\b0 .*\\\\par }")
add_test(NAME zorbex_bank.rtf_unreadable COMMAND zorbex-bank rtf-text ${ZORBEX_FIXTURES_DIR}/rtf/no-such-file.rtf)
set_tests_properties(zorbex_bank.rtf_unreadable PROPERTIES WILL_FAIL TRUE)
target_include_directories(rich_text_box_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
