# The Windows packages: an NSIS installer and a plain zip, both holding
# tarnwell.exe and tarnwell.chm side by side. The help file is compiled on
# the build machine by help/ (chmcmd); makensis is Debian's nsis.
if(NOT TARGET tarnwell OR NOT TARNWELL_CHM)
    message(WARNING "tarnwell.chm is not built here: no Windows packages")
    return()
endif()
find_program(TARNWELL_MAKENSIS makensis)
if(NOT TARNWELL_MAKENSIS)
    message(WARNING "makensis (nsis) not found: no Windows installer. scripts/setup.sh installs it.")
    return()
endif()

set(package_dir ${CMAKE_BINARY_DIR}/packages)
set(TARNWELL_WIN_INSTALLER ${package_dir}/tarnwell-${PROJECT_VERSION}-setup.exe
    CACHE INTERNAL "The Windows installer")
set(TARNWELL_WIN_ZIP ${package_dir}/tarnwell-${PROJECT_VERSION}-win64.zip
    CACHE INTERNAL "The Windows zip")
set(zip_staging ${CMAKE_CURRENT_BINARY_DIR}/zip-staging)
set(nsis_script ${CMAKE_SOURCE_DIR}/packaging/windows/tarnwell.nsi)

add_custom_command(
    OUTPUT ${TARNWELL_WIN_INSTALLER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
    COMMAND ${TARNWELL_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION}
            -DPROGRAM=$<TARGET_FILE:tarnwell> -DHELPFILE=${TARNWELL_CHM}
            -DOUTFILE=${TARNWELL_WIN_INSTALLER} ${nsis_script}
    DEPENDS tarnwell ${TARNWELL_CHM} ${nsis_script}
    COMMENT "Making the Windows installer"
    VERBATIM)
add_custom_command(
    OUTPUT ${TARNWELL_WIN_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_staging}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_staging} ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tarnwell> ${TARNWELL_CHM} ${zip_staging}
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_staging}
            ${CMAKE_COMMAND} -E tar cf ${TARNWELL_WIN_ZIP} --format=zip tarnwell.exe tarnwell.chm
    DEPENDS tarnwell ${TARNWELL_CHM}
    COMMENT "Making the Windows zip"
    VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${TARNWELL_WIN_INSTALLER} ${TARNWELL_WIN_ZIP})
