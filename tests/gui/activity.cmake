# The activity source: the program's own input under the offscreen platform and the
# compositor's idle time from fake services on a bus of the test's own; the XInput 2 raw
# events under a virtual X server of the test's own, driven by xdotool. The latter reports
# a skip (77) where Xvfb or xdotool is missing.
tollix_add_test(test_activity
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_activity.cpp
    LIBRARIES tollix_platform tollix_core)

tollix_add_test(test_activity_x11
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_activity_x11.cpp
    LIBRARIES tollix_platform)
set_tests_properties(test_activity_x11 PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 60 ENVIRONMENT "QT_QPA_PLATFORM=xcb;${TOLLIX_TEST_ISOLATION}")
