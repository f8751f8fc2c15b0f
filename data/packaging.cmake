# The Debian package, made by `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does both).
set(CPACK_PACKAGE_NAME brunzit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Projecte Remor")
set(CPACK_PACKAGE_CONTACT "brunzit developers <brunzit@projecteremor.cat>" CACHE STRING
  "Maintainer named in the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "talking writing aid and calculator")
set(CPACK_PACKAGE_DESCRIPTION "A plain-text editor for people with physical disabilities or poor
sight: the user writes by choosing keys on a 48-key on-screen grid, on a
spoken scanning keyboard or with mouse clicks alone, and hears every key
reached, every letter written and every finished word. The last line of
the text is a talking calculator. The interface is in Catalan, with menus
in Spanish on request; voices come from eSpeak NG or Speech Dispatcher.

The package also holds abaco, the same calculator in a terminal, and the
calculator as the C library libAbaco32 with its header and pkg-config file.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the program's private mouse-hook library here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# libAbaco32.so.1 for other packages' dependencies, and the ldconfig trigger
# rather than maintainer scripts that call ldconfig themselves.
get_target_property(abaco32_soversion Abaco32 SOVERSION)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian-control/shlibs
  CONTENT "libAbaco32 ${abaco32_soversion} brunzit (>= ${PROJECT_VERSION})\n")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian-control/triggers CONTENT "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_BINARY_DIR}/debian-control/shlibs ${CMAKE_BINARY_DIR}/debian-control/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The eSpeak NG voices are data the library does not name; Speech
# Dispatcher adds the desktop's own voices.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher")

include(CPack)
