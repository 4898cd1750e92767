# The Windows program's windows under Wine, driven by window messages: the
# counterpart of the Qt offscreen tests. Wine needs a display for windows
# (cmake/wine-gui-run.sh finds or makes one). The resources go into the test
# programs as into tarnwell.exe.
foreach(window_test win32_windows win32_dispatcher win32_versions_reader)
    add_executable(${window_test}_test ${CMAKE_CURRENT_LIST_DIR}/${window_test}_test.cpp
                   ${TARNWELL_WIN32_RESOURCES})
    target_include_directories(${window_test}_test PRIVATE ${CMAKE_SOURCE_DIR}/tests ${TARNWELL_SRC})
    target_link_libraries(${window_test}_test PRIVATE tarnwell_win32_face GTest::gtest
                                                      GTest::gtest_main)
    # The About box's check goes through microsocks too.
    add_test(NAME ${window_test}_test
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/with_microsocks.sh
                     ${CMAKE_SOURCE_DIR}/cmake/wine-gui-run.sh ${CMAKE_BINARY_DIR}/wineprefix
                     $<TARGET_FILE:${window_test}_test>)
    set_tests_properties(${window_test}_test PROPERTIES LABELS "integration;gui;wine" TIMEOUT 120)
endforeach()
