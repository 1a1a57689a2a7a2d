#!/usr/bin/python3
# screenshot.py OUT.png [X Y W H]: the screen (or an area of it) of the KWin on the
# session bus, through org.kde.KWin.ScreenShot2 (the compositor must run with
# KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1). KWin writes raw QImage bytes into a pipe.
import os
import subprocess
import sys
import threading

import dbus

out = sys.argv[1]
bus = dbus.SessionBus()
shot = dbus.Interface(bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"), "org.kde.KWin.ScreenShot2")
read_end, write_end = os.pipe()
chunks = []
reader = threading.Thread(target=lambda: chunks.append(os.fdopen(read_end, "rb").read()))
reader.start()
options = {"native-resolution": True, "include-cursor": False}
if len(sys.argv) == 6:
    x, y, w, h = (int(v) for v in sys.argv[2:6])
    meta = shot.CaptureArea(x, y, dbus.UInt32(w), dbus.UInt32(h), options, dbus.types.UnixFd(write_end))
else:
    meta = shot.CaptureActiveScreen(options, dbus.types.UnixFd(write_end))
os.close(write_end)
reader.join(timeout=10)
width, height, stride = int(meta["width"]), int(meta["height"]), int(meta["stride"])
data = chunks[0] if chunks else b""
if len(data) < stride * height:
    sys.exit(f"screenshot.py: {len(data)} bytes for {width}x{height}")
rows = b"".join(data[r * stride:r * stride + width * 4] for r in range(height))
# QImage's 32-bit formats are B, G, R, A in memory on little-endian machines.
subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "bgra:-", "-alpha", "off", out],
               input=rows, check=True)
