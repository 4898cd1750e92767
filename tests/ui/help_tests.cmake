# The help unit: DisplayHelp with a fake viewer and warning, F1 routing in a
# main window stand-in.
tarnwell_add_test(help_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/help_test.cpp
    LIBS tarnwell_ui
    LABELS unit
    GUI
    TIMEOUT 60)
set_target_properties(help_test PROPERTIES AUTOMOC ON)

# The help window against the built tarnwell.chm.
tarnwell_add_test(help_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/help_window_test.cpp
    LIBS tarnwell_ui
    LABELS integration
    GUI
    TIMEOUT 60)
set_target_properties(help_window_test PROPERTIES AUTOMOC ON)
target_compile_definitions(help_window_test PRIVATE
    TARNWELL_CHM_PATH="${CMAKE_BINARY_DIR}/src/app/tarnwell.chm")
if(TARGET tarnwell_help)
    add_dependencies(help_window_test tarnwell_help)
endif()
