# The Linux platform layer: the inotify bookkeeping on scripted events (unit),
# and the directory read, file queries, text and regional settings against the
# real system (integration).
if(WIN32)
    return()
endif()

tarnwell_add_test(linux_inotify_bookkeeper_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/linux_inotify_bookkeeper_test.cpp
    LIBS tarnwell_platform
    LABELS unit
    GTEST
    TIMEOUT 60)

tarnwell_add_test(linux_text_and_settings_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/linux_text_and_settings_test.cpp
    LIBS tarnwell_engine
    LABELS unit
    GTEST
    TIMEOUT 60)

tarnwell_add_test(linux_file_queries_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/linux_file_queries_test.cpp
    LIBS tarnwell_platform
    LABELS integration
    GTEST
    TIMEOUT 60)

tarnwell_add_test(linux_directory_reader_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/linux_directory_reader_test.cpp
    LIBS tarnwell_platform
    LABELS integration
    GTEST
    TIMEOUT 300)

tarnwell_add_test(linux_watch_through_engine_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/linux_watch_through_engine_test.cpp
    LIBS tarnwell_engine
    LABELS integration
    GTEST
    TIMEOUT 120)
