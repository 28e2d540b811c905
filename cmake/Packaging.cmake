# Installed like a Linux desktop program, and a Debian package of it.
#
#   cmake --install build --prefix /usr       programs, manual, manual pages, desktop entry,
#                                             AppStream metainfo, icon, completion, README
#   cpack --config build/CPackConfig.cmake    kv2047_<version>_<arch>.deb (run from the build folder)
#
# The programs go to bin/ (top-level CMakeLists.txt), the manual to
# share/kv2047/help (src/res/help), the rest from here.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/kv2047.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.kv2047.KV2047.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/kv2047.1 ${PROJECT_SOURCE_DIR}/packaging/man/kv2047-tool.1
              ${PROJECT_SOURCE_DIR}/packaging/man/kv2047-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/bash-completion/kv2047-tool
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/src/res/artwork/kv2047.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kv2047")
set(CPACK_PACKAGE_VENDOR "KV2047")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop companion of the KV2047 environmental meter")
set(CPACK_PACKAGE_DESCRIPTION "Shows the KV2047 meter live over its serial line, records runs with a \
real-time graph, saves them as AsmDat files with a text table, opens stored runs in a logger viewer \
and prints test reports. Includes kv2047-tool (headless recording, decoding, export) and kv2047-sim \
(a simulated meter on a pseudo-terminal).")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KV2047 developers <kv2047@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The Qt runtime packages follow from the programs' libraries (dpkg-shlibdeps):
# libqt6gui6 brings the xcb platform plugin and libqt6svg6 the SVG icon plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The faces the program's pictures name are mapped to Liberation Sans and
# Liberation Mono (src/gui/Fonts.cpp): the package needs them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
