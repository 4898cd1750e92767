# The engine's pure pieces: each *_test.cpp below is one GoogleTest program.
foreach(name mask_match notify_record location_split time_stamp result_outputs process_changes
             batch_allocation)
    tarnwell_add_test(engine_${name}_test
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${name}_test.cpp
        LIBS tarnwell_engine
        LABELS unit
        GTEST
        TIMEOUT 60)
endforeach()
