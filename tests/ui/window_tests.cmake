# The windows a user sees: the results list, a watch page, the main window and
# the run of the program, each against real folders, files and workers.
foreach(window_test results_list watcher_page main_window application frame_pacer)
    tarnwell_add_test(${window_test}_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/${window_test}_test.cpp
        LIBS tarnwell_ui
        LABELS integration
        GUI
        TIMEOUT 120)
    set_target_properties(${window_test}_test PROPERTIES AUTOMOC ON)
endforeach()

# The page on a screen scaled by 2, as on a high-density laptop screen.
if(TARGET watcher_page_test)
    add_test(NAME watcher_page_test_at_scale_2
             COMMAND watcher_page_test theGroupsReflowSoTheyFitTheWidth)
    set_tests_properties(watcher_page_test_at_scale_2 PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2"
        LABELS integration TIMEOUT 60)
endif()
