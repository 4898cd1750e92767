# Compiles the help topics into tarnwell.chm (cmake -P).
#   -DSOURCE_DIR=help/  -DSTAGING_DIR=<empty scratch folder>  -DOUTPUT=<tarnwell.chm>
#   -DCHMCMD=<chmcmd>   -DCHROOT=<chroot>  -DUNSHARE=<unshare or empty>
#
# chmcmd 3.2.2 stores the targets of [ALIAS]/[MAP] as absolute paths of the
# folder it runs in (/home/.../help/main_window.html), so a context number
# leads nowhere once the file is opened. Run inside a chroot of the staging
# folder, that folder is "/" and the stored targets become /main_window.html,
# a path inside the file. chmcmd needs only its C library, the dynamic loader
# and the threads library it opens at run time, so the chroot is small.
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/contexts.cmake)

file(REMOVE_RECURSE "${STAGING_DIR}")
file(MAKE_DIRECTORY "${STAGING_DIR}")

file(GLOB help_files "${SOURCE_DIR}/*.html" "${SOURCE_DIR}/*.css" "${SOURCE_DIR}/*.hhc"
     "${SOURCE_DIR}/*.hhk" "${SOURCE_DIR}/*.png")
file(COPY ${help_files} DESTINATION "${STAGING_DIR}")

# The project file with the context sections made from the context table.
tarnwell_read_help_contexts("${SOURCE_DIR}/contexts.txt" numbers symbols topics)
file(READ "${SOURCE_DIR}/tarnwell.hhp" project)
set(alias "\n[ALIAS]\n")
set(map "\n[MAP]\n")
foreach(number symbol topic IN ZIP_LISTS numbers symbols topics)
    string(APPEND alias "${symbol}=${topic}\n")
    string(APPEND map "#define ${symbol} ${number}\n")
endforeach()
file(WRITE "${STAGING_DIR}/tarnwell.hhp" "${project}${alias}${map}")

# chmcmd and what it loads, each at its own absolute path inside the staging folder.
file(REAL_PATH "${CHMCMD}" chmcmd_real)
execute_process(COMMAND ldd "${chmcmd_real}" OUTPUT_VARIABLE ldd_out RESULT_VARIABLE ldd_rc)
set(libraries)
if(ldd_rc EQUAL 0)
    string(REPLACE "\n" ";" ldd_lines "${ldd_out}")
    foreach(line IN LISTS ldd_lines)
        if(line MATCHES "=> (/[^ ]+)")
            list(APPEND libraries "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^[ \t]*(/[^ ]+) \\(")
            list(APPEND libraries "${CMAKE_MATCH_1}")
        endif()
    endforeach()
endif()
set(loaded_later)
foreach(library IN LISTS libraries)
    get_filename_component(dir "${library}" DIRECTORY)
    foreach(name libpthread.so.0 libdl.so.2)
        if(EXISTS "${dir}/${name}")
            list(APPEND loaded_later "${dir}/${name}")
        endif()
    endforeach()
endforeach()
list(APPEND libraries ${loaded_later})
list(REMOVE_DUPLICATES libraries)
foreach(library IN LISTS libraries)
    file(REAL_PATH "${library}" library_real)
    get_filename_component(dir "${library}" DIRECTORY)
    file(MAKE_DIRECTORY "${STAGING_DIR}${dir}")
    file(COPY_FILE "${library_real}" "${STAGING_DIR}${library}")
endforeach()
file(MAKE_DIRECTORY "${STAGING_DIR}/bin")
file(COPY_FILE "${chmcmd_real}" "${STAGING_DIR}/bin/chmcmd")
file(CHMOD "${STAGING_DIR}/bin/chmcmd" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(attempts)
if(uid STREQUAL "0")
    list(APPEND attempts "chroot")
endif()
if(UNSHARE)
    # Without root, a user namespace may still allow the chroot.
    list(APPEND attempts "unshare")
endif()

set(compiled FALSE)
foreach(attempt IN LISTS attempts)
    if(attempt STREQUAL "chroot")
        set(command "${CHROOT}" "${STAGING_DIR}" /bin/chmcmd tarnwell.hhp)
    else()
        set(command "${UNSHARE}" -r "${CHROOT}" "${STAGING_DIR}" /bin/chmcmd tarnwell.hhp)
    endif()
    execute_process(COMMAND ${command} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(rc EQUAL 0 AND EXISTS "${STAGING_DIR}/tarnwell.chm")
        set(compiled TRUE)
        break()
    endif()
    message(STATUS "chmcmd through ${attempt} failed (${rc}): ${err}")
endforeach()

if(NOT compiled)
    message(WARNING
        "tarnwell.chm: chmcmd could not run in a chroot (it needs root or user namespaces). "
        "Compiling in place instead: the help file opens, but F1 cannot find its topic, "
        "because the context targets are stored as paths of this build folder.")
    execute_process(COMMAND "${chmcmd_real}" tarnwell.hhp WORKING_DIRECTORY "${STAGING_DIR}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT EXISTS "${STAGING_DIR}/tarnwell.chm")
        message(FATAL_ERROR "chmcmd failed (${rc}):\n${out}${err}")
    endif()
endif()

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(COPY_FILE "${STAGING_DIR}/tarnwell.chm" "${OUTPUT}")
