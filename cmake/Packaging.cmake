# The Debian package, made by CPack's DEB generator from what `cmake --install`
# installs: talvex_<version>_<arch>.deb. Its run-time dependencies are worked out
# from the program by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvex)
set(CPACK_PACKAGE_VENDOR "The Talvex developers")
set(CPACK_PACKAGE_CONTACT "The Talvex developers <developers@talvex.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "colour-vision aid that stripes red and green on screen")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://talvex.org/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The extended description, below the summary (CPack puts the summary first and
# indents these lines; "." stands for an empty line).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Talvex helps people with red-green colour blindness (protanopia,
deuteranopia and milder colour vision deficiencies) tell colours apart
on screen. It opens a small floating panel that works as a lens: the
screen beneath it, or the area around the mouse pointer, is shown again
with diagonal stripes, one direction over reddish colours and the other
over greenish ones. Clicks on the panel pass through to the windows
below.
.
Talvex needs an X11 session and OpenGL.")

include(CPack)
