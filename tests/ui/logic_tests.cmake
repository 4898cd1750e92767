# The toolkit-neutral logic of the windows against plain fakes; the watch
# page's and the main window's runs use real workers on real folders, so
# ThreadSanitizer looks at them too.
foreach(logic_test watch_page main_window_commands proxy_settings_form update_check_flow help_requests)
    set(labels unit)
    if(logic_test STREQUAL "watch_page" OR logic_test STREQUAL "main_window_commands")
        list(APPEND labels worker)
    endif()
    tarnwell_add_test(${logic_test}_test GTEST
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/${logic_test}_test.cpp
        LIBS tarnwell_ui_logic
        LABELS ${labels}
        TIMEOUT 60)
endforeach()
