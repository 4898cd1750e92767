# Installing Tarnwell as a desktop program, and its Debian package.
#
# The executable and tarnwell.chm both go to lib/tarnwell, with a symbolic
# link in bin (their own CMakeLists.txt say so): the program looks for its help
# file in the folder of /proc/self/exe, so the two must stay side by side.
# Here: the menu entry, its icon in the icon-theme sizes, the AppStream
# metainfo, the window icon, and CPack.
include(GNUInstallDirs)

set(TARNWELL_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

if(TARGET tarnwell)
    # The window shows the menu entry's picture; the resource file names the
    # committed PNG files in packaging/icons.
    target_sources(tarnwell PRIVATE ${CMAKE_SOURCE_DIR}/src/app/tarnwell_icon.qrc)
    set_target_properties(tarnwell PROPERTIES AUTORCC ON)
endif()

install(FILES ${TARNWELL_PACKAGING_DIR}/tarnwell.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${TARNWELL_PACKAGING_DIR}/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "tarnwell.png")
install(FILES ${TARNWELL_PACKAGING_DIR}/tarnwell.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TARNWELL_PACKAGING_DIR}/org.example.tarnwell.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The Debian package. Its Depends come from dpkg-shlibdeps over the installed
# executable, plus what the program loads at run time that no library links:
# Qt's platform plugins (libqt6gui6 only recommends them, and without the xcb
# plugin no window opens).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwell)
set(CPACK_PACKAGE_VENDOR "Tarnwell developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch a folder and report every change to its files")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwell watches a folder, or the names matching a mask inside it, optionally
with everything below it, and reports every change the file system announces
there: time stamp, full path, what happened, size and owning account, in a
results list and/or a CSV or tab-separated log file. Several watches run side
by side in tabs.")
set(CPACK_PACKAGE_CONTACT "Tarnwell developers <dev@tarnwell.invalid>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tarnwell.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# A RelWithDebInfo build would otherwise ship its debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwell developers <dev@tarnwell.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help needs no outside viewer: the program has its own help window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
