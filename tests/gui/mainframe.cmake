# The main window, the tray icon and the contact tree.
tollix_add_test(test_main_frame
    SOURCES gui/test_main_frame.cpp gui/fake_notifications.h
    LIBRARIES tollix_ui_mainframe tollix_resources)
