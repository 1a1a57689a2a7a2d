# The Debian packages, made by CPack's DEB generator from what `cmake --install`
# installs. Their run-time dependencies are worked out from the binaries by
# dpkg-shlibdeps.
#   talvex_<version>_<arch>.deb              the program and the GNOME Shell extension
#   talvex-kwin-lens_<version>_<arch>.deb    the KWin effect, when TALVEX_KWIN_BUILD_DIR
#                                            names a build of kwin/ (a CMake project of
#                                            its own: KWin 5.27 is built on Qt 5)
# KWin promises no binary compatibility between its versions, so the effect's package
# depends on exactly the KWin libraries it was built against (TALVEX_KWIN_DEPENDS). The
# program only suggests it: a GNOME user must not be given KWin.
set(TALVEX_KWIN_BUILD_DIR "" CACHE PATH "Build of kwin/ to pack as talvex-kwin-lens (empty: none)")
set(TALVEX_KWIN_DEPENDS "" CACHE STRING
    "talvex-kwin-lens's exact KWin dependencies, e.g. \"libkwin6 (= 4:6.3.6-1)\"")
set(TALVEX_PACKAGE_RELEASE "" CACHE STRING
    "Release the packages are built for, appended to their version: deb12 gives 1.0.0+deb12")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvex)
set(CPACK_PACKAGE_VENDOR "The Talvex developers")
set(CPACK_PACKAGE_CONTACT "The Talvex developers <developers@talvex.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://talvex.org/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
if(TALVEX_PACKAGE_RELEASE)
  set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}+${TALVEX_PACKAGE_RELEASE}")
else()
  set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}")
endif()
# The descriptions: the summary line, then the extended text (CPack indents it; "."
# stands for an empty line). No CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPack would put it
# first in every package's description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "colour-vision aid that stripes red and green on screen
Talvex helps people with red-green colour blindness (protanopia,
deuteranopia and milder colour vision deficiencies) tell colours apart
on screen. It opens a small floating panel that works as a lens: the
screen beneath it, or the area around the mouse pointer, is shown again
with diagonal stripes, one direction over reddish colours and the other
over greenish ones. Clicks on the panel pass through to the windows
below.
.
Talvex needs an X11 session and OpenGL; on the Wayland sessions of GNOME
and Plasma the compositor draws the lens (GNOME: the Shell extension in
this package; Plasma: talvex-kwin-lens).")

# The effect's package: the program's install rules (component Unspecified) and the
# effect's (component kwin) are packed from their two build trees, one package each.
if(TALVEX_KWIN_BUILD_DIR)
  if(NOT TALVEX_KWIN_DEPENDS)
    message(FATAL_ERROR "TALVEX_KWIN_BUILD_DIR needs TALVEX_KWIN_DEPENDS (the exact KWin packages)")
  endif()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/"
                                   "${TALVEX_KWIN_BUILD_DIR};talvex_kwin_lens;ALL;/")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified kwin)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME talvex)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SUGGESTS talvex-kwin-lens)
  set(CPACK_DEBIAN_KWIN_PACKAGE_NAME talvex-kwin-lens)
  # Speaks the lens's D-Bus interface of this very version of the program.
  set(CPACK_DEBIAN_KWIN_PACKAGE_DEPENDS "talvex (= ${CPACK_DEBIAN_PACKAGE_VERSION}), ${TALVEX_KWIN_DEPENDS}")
  set(CPACK_DEBIAN_KWIN_PACKAGE_ENHANCES kwin-common)
  set(CPACK_DEBIAN_KWIN_DESCRIPTION
      "KWin effect that draws the Talvex lens on Plasma
Talvex's panel shows the screen beneath it striped by colour. On a Plasma
Wayland session the program cannot see native Wayland windows; this effect
lets KWin draw the lens instead. It is built for one KWin version and must
be turned on once: System Settings > Desktop Effects > Talvex Lens.")
  # Every package carries the copyright notice and the change log under its own name.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${PROJECT_BINARY_DIR}/resources/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/talvex-kwin-lens COMPONENT kwin)
endif()

include(CPack)
