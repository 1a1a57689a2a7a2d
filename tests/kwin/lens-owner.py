#!/usr/bin/python3
# lens-owner.py: owns the lens on org.talvex.Lens1 as the program does, for the checks:
# one connection for its whole life (the lens goes when its owner leaves the bus).
# Reads commands from standard input, answers each with one line ("ok" or the error):
#   attach WINDOW X Y W H | picture X Y W H | configure KEY bool|double|uint|string VALUE
#   | detach
import sys

import dbus

bus = dbus.SessionBus()
lens = dbus.Interface(bus.get_object("org.talvex.Lens", "/org/talvex/Lens"), "org.talvex.Lens1")
kinds = {"bool": lambda v: dbus.Boolean(v == "true"), "double": lambda v: dbus.Double(float(v)),
         "uint": lambda v: dbus.UInt32(int(v)),
         "string": dbus.String}


def rect(values):
    return dbus.Struct([dbus.Int32(int(v)) for v in values], signature="iiii")


for line in sys.stdin:
    words = line.split()
    try:
        if words[0] == "attach":
            lens.Attach(dbus.UInt32(int(words[1], 0)), rect(words[2:6]))
        elif words[0] == "picture":
            lens.SetPicture(rect(words[1:5]))
        elif words[0] == "configure":
            lens.Configure(dbus.Dictionary({words[1]: kinds[words[2]](" ".join(words[3:]))}, signature="sv"))
        elif words[0] == "detach":
            lens.Detach()
        print("ok", flush=True)
    except Exception as error:  # every failure is the answer to that line
        print(f"error {error}", flush=True)
