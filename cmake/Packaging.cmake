# Debian package of the installed files: `cpack -G DEB` in the build folder.
# Library dependencies come from dpkg-shlibdeps; the Qt plug-ins the executable
# loads at run time (not linked, so invisible to shlibdeps) are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivane)
set(CPACK_PACKAGE_VENDOR "Lumivane")
set(CPACK_PACKAGE_VERSION ${LUMIVANE_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumivane developers <support@lumivane.app>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lumivane.app/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Every text is Japanese: without a CJK font it would show as empty boxes.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
# Text recognition reads Japanese and English with the engine's language data.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libqt6svg6, qt6-wayland, xdg-desktop-portal, wl-clipboard, tesseract-ocr-jpn, tesseract-ocr-eng, tesseract-ocr-jpn-vert")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "chromium")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "screenshot and annotation tool for the desktop tray
Lumivane lives in the system tray and captures the whole screen, a dragged
area, or a whole web page from the front Chromium-family browser. Each
capture appears as a floating thumbnail to copy, save or drag out, and opens
in an editor with annotations, crop, rotation and a framed background.
Projects keep every annotation editable. The user interface is in Japanese.")
include(CPack)
