# The About box with its update check and the proxy settings dialog, against
# real loopback servers, microsocks and the real settings store; and the
# versions document on its own.
tarnwell_add_test(versions_document_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/versions_document_test.cpp
    LIBS tarnwell_ui
    LABELS unit
    GUI
    TIMEOUT 60)
set_target_properties(versions_document_test PROPERTIES AUTOMOC ON)

if(TARGET tarnwell_net_test_servers)
    tarnwell_add_test(about_box_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/about_box_test.cpp
        LIBS tarnwell_ui tarnwell_net_test_servers
        LABELS integration
        GUI
        TIMEOUT 120)
    set_target_properties(about_box_test PROPERTIES AUTOMOC ON)
endif()
