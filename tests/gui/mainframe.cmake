# The main window, the tray icon and the contact tree.
tollix_add_test(test_main_frame
    SOURCES gui/test_main_frame.cpp gui/fake_notifications.h
    LIBRARIES tollix_ui_mainframe tollix_resources)

# The tray icon through a StatusNotifier host: under Xvfb (xcb), with a fake watcher on a
# bus of its own; a skip (77) where Xvfb or dbus-daemon is missing.
tollix_add_test(test_tray
    SOURCES gui/test_tray.cpp
    LIBRARIES tollix_ui_mainframe tollix_resources)
set_tests_properties(test_tray PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 60 ENVIRONMENT "QT_QPA_PLATFORM=xcb;${TOLLIX_TEST_ISOLATION}")
