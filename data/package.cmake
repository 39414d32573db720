# The Debian package: cpack -G DEB in a build folder makes kelvra-ascii_<version>_<arch>.deb of
# what cmake --install lays out under /usr, the binaries stripped, the man pages compressed, the
# copyright and changelog in /usr/share/doc/kelvra-ascii, and the dependencies computed from
# the binaries' libraries (dpkg-shlibdeps, from dpkg-dev).
set(KELVRA_PACKAGE_MAINTAINER "Kelvra <kelvra-ascii@kelvra.io>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvra-ascii)
set(CPACK_PACKAGE_VENDOR Kelvra)
set(CPACK_PACKAGE_CONTACT ${KELVRA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "test tool for climate test chambers (Kelvra ASCII protocol)
An operator's test tool for climate test chambers that speak the Kelvra ASCII
protocol, version 3.0, on a serial line: pick one of 25 preset commands or type
one, set the chamber address and the port, and send; the tool frames the
command, checks the chamber's framed answer and shows both as hex bytes, as
text or as a German or English sentence.
.
The package holds the window (German or English), the command-line program
kelvra-ascii for single exchanges, polling and bus scans, with a CSV log, a
line monitor and a trend chart, and the chamber simulator kelvra-chamber.")
# Folders in the package as Debian has them, whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# What only the package has, put into its staging folder before it is packed: the changelog's
# entry is dated with the release.
execute_process(COMMAND date -u -R -d "${KELVRA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE KELVRA_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(changelog.in changelog @ONLY)
configure_file(package_files.cmake.in package_files.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/package_files.cmake)

include(CPack)
