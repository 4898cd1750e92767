# The windows a user sees: the results list, a watch page, the main window and
# the run of the program, each against real folders, files and workers.
foreach(window_test results_list watcher_page main_window application)
    tarnwell_add_test(${window_test}_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/${window_test}_test.cpp
        LIBS tarnwell_ui
        LABELS integration
        GUI
        TIMEOUT 120)
    set_target_properties(${window_test}_test PROPERTIES AUTOMOC ON)
endforeach()
