# Where the help file is looked for: the folder of the resolved executable.
if(NOT WIN32)
    tarnwell_add_test(help_viewer_test
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/help_viewer_test.cpp
        LIBS tarnwell_platform
        LABELS integration
        GTEST)
    target_compile_definitions(help_viewer_test PRIVATE
        TARNWELL_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
endif()
