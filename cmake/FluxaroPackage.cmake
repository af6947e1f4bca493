# The Debian package, made by CPack's DEB generator from the install rules of a release build
# directory of its own (scripts/build-package.sh: Debian's hardening flags, the self-update
# compiled out). dpkg-shlibdeps computes the library dependencies (Qt 6, FFmpeg's libraries and
# whatever else the programs link); the ffmpeg program is named by hand since the programs only
# run it, and the GStreamer plugins that play the help movie (H.264 and AAC in MPEG-4) are
# recommended. Each program's debug symbols go to the fluxaro-dbgsym package
# (/usr/lib/debug/.build-id/, found by build id and by the programs' debug link).

# Debian's documentation files: the machine-readable copyright and the changelog of debian/
# (gzipped, as a native package has it), installed with every install, and the lintian
# override.
set(FLUXARO_DOC_DIR ${CMAKE_BINARY_DIR}/share/doc/fluxaro)
file(MAKE_DIRECTORY ${FLUXARO_DOC_DIR})
add_custom_command(
  OUTPUT ${FLUXARO_DOC_DIR}/changelog.gz
  COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/debian/changelog
          ${FLUXARO_DOC_DIR}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/debian/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
configure_file(${CMAKE_SOURCE_DIR}/debian/copyright ${FLUXARO_DOC_DIR}/copyright COPYONLY)
add_custom_target(fluxaro_docs ALL DEPENDS ${FLUXARO_DOC_DIR}/changelog.gz)
install(FILES ${FLUXARO_DOC_DIR}/copyright ${FLUXARO_DOC_DIR}/changelog.gz
  DESTINATION share/doc/fluxaro)
install(FILES ${CMAKE_SOURCE_DIR}/debian/fluxaro.lintian-overrides
  DESTINATION share/lintian/overrides RENAME fluxaro)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fluxaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Fluxaro developers")
set(CPACK_PACKAGE_CONTACT "The Fluxaro developers <dev@fluxaro.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "camcorder recordings to QuickTime movies for editing")
set(CPACK_PACKAGE_DESCRIPTION
  "Fluxaro turns camcorder recordings (AVCHD transport streams at 50 or 60
progressive frames per second and faster), TV recordings and other movie
files into QuickTime movies that editing applications import: rewrapped or
encoded to ProRes, at normal rate, half rate or in slow motion, each output
named after its recording date.
.
The package holds the desktop application with its batch mode (fluxaro
--batch) and the command-line tools trakmill, which joins movie tracks into
reference, self-contained or exported movies, and clipdater, which prints
the recording dates of an AVCHD card's clips.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped by the debug-symbols split (objcopy --only-keep-debug, then --strip-unneeded).
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${FLUXARO_WEB_SITE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-good, gstreamer1.0-libav, xdg-utils")
include(CPack)
