# Tests of the RTF reader and writer, and of the rich-text box.

zorbex_test(rtf_test rtf_test_util.cpp rtf_reader_test.cpp rtf_writer_test.cpp rtf_corpus_test.cpp rtf_xhtml_test.cpp)
target_link_libraries(rtf_test PRIVATE zorbex_rtf)

add_executable(rich_text_box_test rich_text_box_test.cpp)
target_link_libraries(rich_text_box_test PRIVATE zorbex_ui zorbex_qt_test_main)
zorbex_warnings(rich_text_box_test)
gtest_discover_tests(rich_text_box_test DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)

# The command-line companions: a file, standard input, and an unreadable file.
add_test(NAME zorbex_bank.rtf_text COMMAND zorbex-bank rtf-text ${ZORBEX_FIXTURES_DIR}/rtf/richedit3_japanese.rtf)
set_tests_properties(zorbex_bank.rtf_text PROPERTIES PASS_REGULAR_EXPRESSION "表の㎜ The word `quoted’ ~x~ €")
add_test(NAME zorbex_bank.rtf_roundtrip_stdin
         COMMAND sh -c "$<TARGET_FILE:zorbex-bank> rtf-roundtrip - < '${ZORBEX_FIXTURES_DIR}/rtf/richedit1.rtf'")
set_tests_properties(zorbex_bank.rtf_roundtrip_stdin PROPERTIES
  PASS_REGULAR_EXPRESSION "{\\\\rtf1\\\\ansi\\\\ansicpg1252.*\\\\f1\\\\fs23\\\\b Bold\\\\b0 .*\\\\par }")
add_test(NAME zorbex_bank.rtf_unreadable COMMAND zorbex-bank rtf-text ${ZORBEX_FIXTURES_DIR}/rtf/no-such-file.rtf)
set_tests_properties(zorbex_bank.rtf_unreadable PROPERTIES WILL_FAIL TRUE)
