# The Debian package, made by CPack from the release build's install (scripts/package):
#   cpack --config build/release/CPackConfig.cmake -B build/release/packages
# Its library dependencies come from dpkg-shlibdeps on the installed programs; what the programs
# load at run time without linking it is named by hand below.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velanox-nr)
set(CPACK_PACKAGE_VENDOR Orvantel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvantel <velanox-nr@orvantel.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remove noise from photographs and scans")
set(CPACK_PACKAGE_DESCRIPTION
    "Velanox NR removes the grain of high-ISO and low-light photographs, the colour blotches of
small camera sensors and the moire of scanned prints, while edges and fine texture keep their
detail. The desktop program shows the original and the result of the same spot one above the
other and follows every change of the settings; velanox-nr-cli does the same work on whole
folders from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELANOX_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, not linked: Qt's X11 and Wayland platform plugins;
# ImageMagick's coders for Targa, PCX, Photoshop, WBMP, PhotoCD and Windows Metafiles; the
# Liberation fonts that stand in for Arial, Times and Courier in metafile text.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libmagickcore-6.q16-6-extra, fonts-liberation")
# Qt SVG (libqt6svg6, with its icon and image plugins) is linked, so dpkg-shlibdeps names it.
# Help opens in the desktop's browser through xdg-open; the launcher, icons and file types are
# registered by their own packages' triggers.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "parallel")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Only what `cmake --install` puts in place (the test and benchmark programs are not installed).
include(CPack)
