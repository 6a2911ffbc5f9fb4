# The Debian package (scripts/package runs `cpack -G DEB`): the installed tree under /usr, its
# runtime dependencies worked out by dpkg-shlibdeps from the programs' libraries.
set(CPACK_PACKAGE_NAME kvscalecrafter)
set(CPACK_PACKAGE_VENDOR "KARVO Imaging")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KARVO Imaging <scalecrafter@karvo-imaging.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo resizer with ten resampling algorithms")
set(CPACK_PACKAGE_DESCRIPTION
    "KARVO Scale Crafter resizes photos: the size in pixels, in percent or as a
print size at a resolution, kept in aspect, cropped or stretched, with one of
ten resampling algorithms, five of them edge-aware enlargers of its own. The
window shows a live preview of the result; batch mode resizes whole lists of
photos into a folder. kvscale runs the same engine from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.karvo-imaging.example/scalecrafter/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its platform plugins and SVG icons at run time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
