# The user registry store. On Linux it is a REGEDIT4 file under the user's
# configuration folder, tested against a temporary XDG_CONFIG_HOME.
if(NOT WIN32)
    tarnwell_add_test(user_registry_test
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/user_registry_test.cpp
        LIBS tarnwell_platform
        LABELS unit
        GTEST)
endif()
