#!/usr/bin/python3
# input-hole.py WINDOW WIDTH HEIGHT X Y W H: the X Shape input region of the window
# (WIDTH×HEIGHT) becomes all of it but the rectangle X,Y W×H, as the program's own
# click-through sets it, for the checks on kwin_x11.
import ctypes
import sys


class Rectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


window = int(sys.argv[1], 0)
width, height, x, y, w, h = (int(v) for v in sys.argv[2:8])
xlib = ctypes.CDLL("libX11.so.6")
xext = ctypes.CDLL("libXext.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(xlib.XOpenDisplay(None))
if not display:
    sys.exit("input-hole: no X display")
around = [(0, 0, width, y), (0, y + h, width, height - y - h), (0, y, x, h), (x + w, y, width - x - w, h)]
rectangles = (Rectangle * len(around))(*[Rectangle(*r) for r in around])
shape_input, shape_set, unsorted = 2, 0, 0
xext.XShapeCombineRectangles(display, ctypes.c_ulong(window), shape_input, 0, 0, rectangles,
                             len(around), shape_set, unsorted)
xlib.XCloseDisplay(display)
