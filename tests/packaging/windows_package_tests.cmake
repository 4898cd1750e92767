# The Windows program as a user gets it: linked statically, so it imports no
# DLL beyond Windows' own.
find_program(TARNWELL_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
add_test(NAME windows_imports
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check_imports.sh ${TARNWELL_OBJDUMP}
                 $<TARGET_FILE:tarnwell>)
set_tests_properties(windows_imports PROPERTIES LABELS "package;wine" TIMEOUT 60)
if(TARNWELL_WIN_INSTALLER)
    add_test(NAME windows_installer
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check_windows_installer.sh
                     ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix
                     ${TARNWELL_WIN_INSTALLER})
    set_tests_properties(windows_installer PROPERTIES LABELS "package;wine" TIMEOUT 180)
endif()
