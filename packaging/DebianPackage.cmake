# The Debian package that ./package.sh builds with CPack: the files of
# `cmake --install` under /usr, its dependencies read from the programs.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_NAME ${CORVANE_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane Pelto Updater developers")
set(CPACK_PACKAGE_CONTACT "Corvane Pelto Updater developers <updater@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Corvane Pelto video-processing cards")
# Each line is a line of the package's description; an empty one starts a paragraph.
set(CPACK_PACKAGE_DESCRIPTION "\
Updates the firmware of a Corvane Pelto card connected over a serial line
or the LAN (UDP or TCP): microcontroller flash from Intel HEX images, PSD
flash banks, and JTAG devices through SVF effect files, driven by update
scripts, in a window or in batch mode.

With corvane-tool, which checks update files, corvane-cardsim, a simulated
card, and an example update in
${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}/examples.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link to become the dependencies (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
