# The Qt dispatcher: the workers' hand-overs and notices in the real event loop.
tarnwell_add_test(qt_dispatcher_test GUI
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/qt_dispatcher_test.cpp
    LIBS tarnwell_ui
    LABELS integration worker
    TIMEOUT 60)
set_target_properties(qt_dispatcher_test PROPERTIES AUTOMOC ON)
