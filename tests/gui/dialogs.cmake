# The settings sheet, the about box and the file transfer dialog.
tollix_add_test(test_settings_sheet
    SOURCES gui/test_settings_sheet.cpp
    LIBRARIES tollix_ui_settings tollix_resources)
target_include_directories(test_settings_sheet PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit)

tollix_add_test(test_about_dialog
    SOURCES gui/test_about_dialog.cpp
    LIBRARIES tollix_ui_about tollix_resources)
target_include_directories(test_about_dialog PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit)

tollix_add_test(test_file_transfer
    SOURCES gui/test_file_transfer.cpp
    LIBRARIES tollix_ui_filetransfer tollix_resources)
target_include_directories(test_file_transfer PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit)

tollix_add_test(test_dialog_units
    SOURCES gui/test_dialog_units.cpp
    LIBRARIES tollix_ui_settings tollix_ui_about tollix_ui_filetransfer tollix_resources)
target_include_directories(test_dialog_units PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit)

# Pictures of the dialogs for scripts/screenshot-dialogs.sh; built with the tests, never
# installed.
add_executable(dialog_screenshots gui/dialog_screenshots.cpp)
target_include_directories(dialog_screenshots PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit)
target_link_libraries(dialog_screenshots PRIVATE tollix_ui_settings tollix_ui_about
                      tollix_ui_filetransfer tollix_resources tollix_warnings)
