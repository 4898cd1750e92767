# The worker and its thread base: real threads on real folders, served by the
# test dispatcher. The sanitizer builds run them with -L worker.
tarnwell_add_test(thread_base_test GTEST
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/thread_base_test.cpp
    LIBS tarnwell_engine
    LABELS integration worker
    TIMEOUT 60)
tarnwell_add_test(thread_test GTEST
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/thread_test.cpp
    LIBS tarnwell_engine
    LABELS integration worker
    TIMEOUT 120)
# Only the native build can show that such a read fails: on Windows the
# handle follows a moved folder and the watch goes on, and Wine never
# completes a pending read when the watched folder is deleted.
if(NOT WIN32)
    tarnwell_add_test(thread_folder_gone_test GTEST
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/thread_folder_gone_test.cpp
        LIBS tarnwell_engine
        LABELS integration worker
        TIMEOUT 60)
endif()
