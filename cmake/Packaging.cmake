# The Debian package: `cpack -G DEB` in a Release build folder (scripts/package.sh does it).
# Its dependencies come from dpkg-shlibdeps, so they name the library versions this build
# really links against.
set(CPACK_PACKAGE_NAME vesko)
set(CPACK_PACKAGE_VENDOR "The Vesko developers")
set(CPACK_PACKAGE_CONTACT "developers@vesko.app")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast file-name search for the desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Vesko keeps the name of every file and folder under your home folder in memory\n"
    "and finds them as you type, over millions of entries. The index is saved to an\n"
    "archive that loads in milliseconds and is kept current from inotify events.\n"
    "The same index answers scripts: vesko --find prints one path per line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(VESKO_PACKAGE_MAINTAINER "The Vesko developers <developers@vesko.app>"
    CACHE STRING "The Maintainer field of the Debian package (\"Name <address>\")")
# A build folder configured before the default carried an address still holds the bare name,
# which Debian's tools reject; only a value with an address is a maintainer.
if(NOT VESKO_PACKAGE_MAINTAINER MATCHES "<[^>]+@[^>]+>")
    message(STATUS "VESKO_PACKAGE_MAINTAINER \"${VESKO_PACKAGE_MAINTAINER}\" has no address; "
                   "the package names the Vesko developers instead")
    set(VESKO_PACKAGE_MAINTAINER "The Vesko developers <developers@vesko.app>"
        CACHE STRING "The Maintainer field of the Debian package (\"Name <address>\")" FORCE)
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VESKO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, so dpkg-shlibdeps cannot see them: without
# qt6-qpa-plugins the window cannot open. Wayland sessions fall back to XWayland without
# qt6-wayland.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")

include(CPack)
