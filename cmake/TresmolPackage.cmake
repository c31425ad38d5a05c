# The Debian package (scripts/package): what `cmake --install` puts under /usr, with
# the libraries the executables link found by dpkg-shlibdeps, and by name what Qt loads
# at run time without linking it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tresmol)
set(CPACK_PACKAGE_VENDOR Tresmol)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of the software on your discs and in your folders")
# One string: the lines of the package's long description, none wider than 80.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tresmol keeps a catalogue of the programs on distribution discs and in"
  "folders: name, maker, versions, language, platform, category, disc, rating,"
  "a picture and registration details. Records are typed in or harvested from"
  "the version information of Windows executables. The interface is in Russian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tresmol developers <tresmol@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TRESMOL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins and data Qt finds at run time: pictures (GIF, TIFF, WebP and more), Qt's
# Russian texts, the icon theme the command icons fall back on, and the Type 1 fonts
# without which libwmf converts no metafile. The SVG icon engine comes with
# libqt6svg6, which dpkg-shlibdeps lists already (the program links Qt SVG): each
# package is named once.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-image-formats-plugins, qt6-translations-l10n, adwaita-icon-theme, gsfonts")
# The desktop's own file pickers (GTK's, or the desktop portal's) where Qt can reach
# them; the Arial-compatible face the logo asks for; Wayland without XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "qt6-gtk-platformtheme | qt6-xdgdesktopportal-platformtheme, fonts-liberation2, qt6-wayland")
include(CPack)
