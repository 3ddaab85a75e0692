# Tests of the controls layer.
add_executable(ui_controls_tests controls_events_test.cpp controls_forms_test.cpp)
target_link_libraries(ui_controls_tests PRIVATE zorbex_ui zorbex_qt_test_main)
zorbex_warnings(ui_controls_tests)
gtest_discover_tests(ui_controls_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
