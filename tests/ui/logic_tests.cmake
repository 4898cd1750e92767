# The toolkit-neutral logic of the windows against plain fakes; the watch
# page's runs use real workers on real folders.
foreach(logic_test watch_page main_window_commands proxy_settings_form update_check_flow help_requests)
    tarnwell_add_test(${logic_test}_test GTEST
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/${logic_test}_test.cpp
        LIBS tarnwell_ui_logic
        LABELS unit
        TIMEOUT 60)
endforeach()
