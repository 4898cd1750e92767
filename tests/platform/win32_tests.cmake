# The Windows platform layer on real folders, files and registry keys, run under
# Wine by the cross build.
tarnwell_add_test(win32_directory_reader_test GTEST
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/win32_directory_reader_test.cpp
    LIBS tarnwell_platform
    LABELS integration
    TIMEOUT 120)
tarnwell_add_test(win32_services_test GTEST
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/win32_services_test.cpp
    LIBS tarnwell_platform
    LABELS integration)
tarnwell_add_test(win32_user_registry_test GTEST
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/win32_user_registry_test.cpp
    LIBS tarnwell_platform
    LABELS integration)
tarnwell_add_test(win32_proxy_store_test GTEST
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/win32_proxy_store_test.cpp
    LIBS tarnwell_net tarnwell_platform
    LABELS integration)
