# The Debian package: cpack -G DEB in the build folder writes mevrant_<version>_<arch>.deb with what
# cmake --install installs, below /usr. The libraries it needs are read off the binaries.

set(CPACK_PACKAGE_NAME mevrant)
set(CPACK_PACKAGE_VENDOR "Das Mevrant-Entwicklerteam")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "graphs the readings of a measuring device on a serial port")
# One line of the package's long description per line here (Debian keeps them under 80 columns).
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Mevrant reads the ASCII numbers a measuring device sends on a serial port,"
  "applies a scale factor and an offset, logs the raw text, shows the latest value"
  "in a large display and plots the values as a growing line. The chart can be"
  "panned and zoomed and exported as a picture; whole acquisitions can be saved"
  "and loaded. Headless commands record, render and convert acquisitions in"
  "scripts, and mevrant-sim simulates a device on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)

set(MEVRANT_PACKAGE_MAINTAINER "Das Mevrant-Entwicklerteam"
    CACHE STRING "Maintainer field of the Debian package (\"Name <address>\")")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MEVRANT_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The chart's and the window's text metrics are laid out for DejaVu Sans.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")

include(CPack)
