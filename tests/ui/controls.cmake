# Tests of the controls layer. Qt tests need their own main(): it selects the offscreen
# platform before the application object exists (test discovery runs without CTest's
# environment).
add_library(zorbex_qt_test_main STATIC controls_main.cpp)
target_link_libraries(zorbex_qt_test_main PUBLIC GTest::gtest Qt6::Widgets)

add_executable(ui_controls_tests controls_events_test.cpp controls_forms_test.cpp)
target_link_libraries(ui_controls_tests PRIVATE zorbex_ui zorbex_qt_test_main)
zorbex_warnings(ui_controls_tests)
gtest_discover_tests(ui_controls_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
