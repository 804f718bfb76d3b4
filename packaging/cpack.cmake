# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in a configured build packs what `cmake --install` puts
# under /usr. The runtime libraries (Qt 6 with its xcb platform plugin, libpng) are found by
# dpkg-shlibdeps; only what no binary links is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavlora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tavlora maintainers <maintainers@users.noreply.c-seed-c8a0188c.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess with many players at once on a local network")
set(CPACK_PACKAGE_DESCRIPTION "\
One copy of Tavlora hosts a lobby for 2 to 127 participants, the others join\n\
it by the host's IPv4 address. When the host starts, everyone plays one game\n\
against everyone else, all games at the same time, with optional clocks.\n\
A single-player mode puts two names at one board. The interface is German.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws its texts with whatever fonts fontconfig finds, and a minimal system has none;
# DejaVu Sans stands in for the program's "MS Sans Serif".
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")

include(CPack)
