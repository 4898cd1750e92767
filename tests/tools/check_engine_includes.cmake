# Fails when a file under the engine folder includes a Qt, Windows or sys/
# header: the engine must build and run without them (Wine, the fuzzers, the
# benchmarks).
#   cmake -DENGINE_DIR=<folder> [-DEXPECT_VIOLATIONS=<n>] -P check_engine_includes.cmake
# EXPECT_VIOLATIONS (default 0) lets the check be tried on a folder of known
# offenders, so that a check which finds nothing is noticed.
if(NOT ENGINE_DIR OR NOT IS_DIRECTORY "${ENGINE_DIR}")
    message(FATAL_ERROR "ENGINE_DIR is not a folder: '${ENGINE_DIR}'")
endif()
get_filename_component(ENGINE_DIR "${ENGINE_DIR}" ABSOLUTE)
if(NOT DEFINED EXPECT_VIOLATIONS)
    set(EXPECT_VIOLATIONS 0)
endif()

file(GLOB_RECURSE files LIST_DIRECTORIES false
     "${ENGINE_DIR}/*.h" "${ENGINE_DIR}/*.hpp" "${ENGINE_DIR}/*.hh" "${ENGINE_DIR}/*.inl"
     "${ENGINE_DIR}/*.c" "${ENGINE_DIR}/*.cc" "${ENGINE_DIR}/*.cpp" "${ENGINE_DIR}/*.cxx")

# Qt: <QString>, <QtCore/...>, <qglobal.h>. Windows: windows.h and the headers
# of its services. POSIX system headers under sys/.
set(qt_pattern "^[<\"](Q[A-Za-z0-9_]+|Qt[A-Za-z0-9_]*/.*|q[a-z0-9_]+\\.h)[>\"]$")
set(windows_pattern
    "^[<\"](windows|windef|winbase|winnt|winuser|winreg|winerror|winsock2?|ws2tcpip|ws2def|shlobj|shellapi|aclapi|accctrl|sddl|htmlhelp|objbase|ole2|commctrl|tchar|process|io|direct)\\.h[>\"]$")
set(sys_pattern "^[<\"]sys/.*[>\"]$")

set(violations 0)
foreach(file IN LISTS files)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"][^>\"]*[>\"])")
            continue()
        endif()
        set(target "${CMAKE_MATCH_1}")
        string(TOLOWER "${target}" lower)
        if(target MATCHES "${qt_pattern}" OR lower MATCHES "${windows_pattern}"
           OR target MATCHES "${sys_pattern}")
            file(RELATIVE_PATH shown "${ENGINE_DIR}" "${file}")
            message("${shown}: forbidden include ${target}")
            math(EXPR violations "${violations} + 1")
        endif()
    endforeach()
endforeach()

if(NOT violations EQUAL EXPECT_VIOLATIONS)
    message(FATAL_ERROR
            "${violations} forbidden include(s) under ${ENGINE_DIR}, expected ${EXPECT_VIOLATIONS}")
endif()
list(LENGTH files count)
message(STATUS "${count} files checked, ${violations} forbidden include(s) as expected")
