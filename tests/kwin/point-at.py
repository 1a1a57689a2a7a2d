#!/usr/bin/python3
# point-at.py X Y: the pointer of the X server $DISPLAY moves to X,Y (XWarpPointer), for
# the checks on kwin_x11.
import ctypes
import sys

xlib = ctypes.CDLL("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
display = ctypes.c_void_p(xlib.XOpenDisplay(None))
if not display:
    sys.exit("point-at: no X display")
root = ctypes.c_ulong(xlib.XDefaultRootWindow(display))
xlib.XWarpPointer(display, ctypes.c_ulong(0), root, 0, 0, 0, 0, int(sys.argv[1]), int(sys.argv[2]))
xlib.XCloseDisplay(display)
