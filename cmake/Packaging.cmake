# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (make package): the three programs, the desktop entry, the icon and the
# manual pages under /usr. Depends is computed from the binaries by dpkg-shlibdeps, so it names
# the Qt 6 libraries and FFTW 3 (libfftw3-double3, the spectra) the build linked against.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "plotmira")
set(CPACK_PACKAGE_VENDOR "Plotmira")
set(CPACK_PACKAGE_CONTACT "Plotmira developers <plotmira@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial data plotter for microcontroller development")
set(CPACK_PACKAGE_DESCRIPTION
    "Plotmira records numeric text lines arriving on a serial port and plots one or two \
channels live. The recorded graph can be panned, zoomed and rescaled, saved and reloaded as a \
session file and exported as a bitmap. plotmira-cli records, renders and exports sessions \
(CSV) without a window; plotmira-sim simulates a device on a pseudo-terminal. The user \
interface is German.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin to open on a desktop; libqt6gui6 only recommends the
# package that holds it, and dpkg-shlibdeps cannot see plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own texts (dialog buttons, message boxes) in German, as the rest of the window.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
