# The conversation window and its panes, with the core on fake channels.
tollix_add_test(test_conversation
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_conversation.cpp
    LIBRARIES tollix_ui_conversation tollix_resources)
target_include_directories(test_conversation PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../unit)
