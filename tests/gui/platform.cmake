# Desktop integration: single instance, autostart entry, termination signals.
add_executable(single_instance_probe gui/single_instance_probe.cpp)
target_link_libraries(single_instance_probe PRIVATE tollix_platform tollix_warnings)

tollix_add_test(test_platform
    SOURCES gui/test_platform.cpp
    LIBRARIES tollix_platform tollix_core)
add_dependencies(test_platform single_instance_probe)
# Desktop notifications, against a notification service of the test's own on a private
# session bus (dbus-daemon).
tollix_add_test(test_notifications
    SOURCES gui/test_notifications.cpp gui/fake_notifications.h
    LIBRARIES tollix_platform)
