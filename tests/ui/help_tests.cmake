# The help unit: DisplayHelp with a fake viewer and warning, F1 routing in a
# main window stand-in.
tarnwell_add_test(help_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/help_test.cpp
    LIBS tarnwell_ui
    LABELS unit
    GUI
    TIMEOUT 60)
set_target_properties(help_test PROPERTIES AUTOMOC ON)
