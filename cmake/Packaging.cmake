# Debian packages of the installed files: `cpack -G DEB` in the build folder makes two,
# lumivane and lumivane-ocr (the text recognition engine module, recommended), so that
# the program itself does not depend on the engine library: without it the program
# hides text recognition. Library dependencies come from dpkg-shlibdeps; the Qt
# plug-ins the executable loads at run time (not linked, so invisible to shlibdeps)
# are named here.
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
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lumivane ocr)
set(CPACK_DEBIAN_LUMIVANE_PACKAGE_NAME lumivane)
set(CPACK_DEBIAN_OCR_PACKAGE_NAME lumivane-ocr)
# Text recognition reads Japanese and English with the engine's language data.
set(ocr_language_data "tesseract-ocr-jpn, tesseract-ocr-eng, tesseract-ocr-jpn-vert")
# Every text is Japanese: without a CJK font it would show as empty boxes.
set(CPACK_DEBIAN_LUMIVANE_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
set(CPACK_DEBIAN_LUMIVANE_PACKAGE_RECOMMENDS
    "libqt6svg6, qt6-wayland, xdg-desktop-portal, wl-clipboard, lumivane-ocr, ${ocr_language_data}")
set(CPACK_DEBIAN_LUMIVANE_PACKAGE_SUGGESTS "chromium")
set(CPACK_DEBIAN_OCR_PACKAGE_DEPENDS "lumivane (= ${LUMIVANE_VERSION})")
set(CPACK_DEBIAN_OCR_PACKAGE_RECOMMENDS "${ocr_language_data}")
set(CPACK_DEBIAN_OCR_PACKAGE_SUGGESTS "")
set(CPACK_DEBIAN_OCR_DESCRIPTION "text recognition for Lumivane
The offline text recognition engine module of Lumivane: it reads Japanese and
English text, horizontal and vertical, and QR codes and barcodes in captures.")
set(CPACK_DEBIAN_LUMIVANE_DESCRIPTION "screenshot and annotation tool for the desktop tray
Lumivane lives in the system tray and captures the whole screen, a dragged
area, or a whole web page from the front Chromium-family browser. Each
capture appears as a floating thumbnail to copy, save or drag out, and opens
in an editor with annotations, crop, rotation and a framed background.
Projects keep every annotation editable. The user interface is in Japanese.")
include(CPack)
