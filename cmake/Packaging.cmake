# Installed like a Linux desktop program, and a Debian package of it.
#
#   cmake --install build --prefix /usr       programs, manual, manual pages, desktop entry,
#                                             AppStream metainfo, icon, completion, README,
#                                             copyright and changelog
#   cpack --config build/CPackConfig.cmake    kv2047_<version>_<arch>.deb (run from the build folder)
#
# The programs go to bin/ (top-level CMakeLists.txt), the manual to
# share/kv2047/help (src/res/help), the rest from here.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/kv2047.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.kv2047.KV2047.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Manual pages and the changelog are installed compressed, as Debian's policy
# asks; gzip -n leaves out the name and time, so each build gives the same bytes.
find_program(KV_GZIP gzip REQUIRED)
set(kv_gzipped)
foreach(doc man/kv2047.1 man/kv2047-tool.1 man/kv2047-sim.1 debian/changelog)
  set(out ${PROJECT_BINARY_DIR}/packaging/${doc}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/man ${PROJECT_BINARY_DIR}/packaging/debian
    COMMAND ${KV_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/packaging/${doc} > ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${doc} VERBATIM)
  list(APPEND kv_gzipped ${out})
endforeach()
add_custom_target(kv2047-gzipped-docs ALL DEPENDS ${kv_gzipped})
install(FILES ${PROJECT_BINARY_DIR}/packaging/man/kv2047.1.gz ${PROJECT_BINARY_DIR}/packaging/man/kv2047-tool.1.gz
              ${PROJECT_BINARY_DIR}/packaging/man/kv2047-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/bash-completion/kv2047-tool
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/src/res/artwork/kv2047.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The licence as Debian states it (machine-readable; the full text is
# /usr/share/common-licenses/GPL-3 there) and the changelog of the package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
              ${PROJECT_BINARY_DIR}/packaging/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kv2047")
set(CPACK_PACKAGE_VENDOR "KV2047")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop companion of the KV2047 environmental meter")
# Debian's control file shows the description as it is written here, each
# line after one blank: lines of at most 79 characters.
set(CPACK_PACKAGE_DESCRIPTION "Shows the KV2047 hand-held meter live over its serial line (air
temperature, relative humidity, infrared or type-K surface temperature, wet
bulb, dew point), records runs with a real-time graph, saves them as AsmDat
data files with a text table beside them, opens stored runs in a logger
viewer and prints test reports. The meter's keys can be pressed from the
computer.

Includes kv2047-tool (headless recording, live readings, decoding, export,
statistics and reports) and kv2047-sim (a simulated meter on a
pseudo-terminal).")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(KV_PACKAGE_MAINTAINER "KV2047 developers <kv2047@users.noreply.github.com>" CACHE STRING
    "The Maintainer field of the Debian package (a distributor puts their own)")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KV_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The Qt runtime packages follow from the programs' libraries (dpkg-shlibdeps):
# libqt6gui6 brings the xcb platform plugin and libqt6svg6 the SVG icon plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The faces the program's pictures name are mapped to Liberation Sans and
# Liberation Mono (src/gui/Fonts.cpp): the package needs them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
