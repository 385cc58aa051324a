#!/usr/bin/env python3
"""Runs a Y4M clip through GStreamer's frei0r wrapper of the effect.

  gst_run.py CLIP IN.rgba OUT.rgba FRAME:NAME=VALUE...

CLIP is a Y4M file, or snow:WxH:N for N frames of GStreamer's own noise
(its Y4M reader gives nothing for pictures of a few pixels).

Writes the RGBA frames the effect is given and those it returns. Each
NAME=VALUE sets the element's property before frame FRAME reaches it (0:
before the first); exits 3 when the element cannot be made.
"""
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import GLib, Gst  # noqa: E402


def main(clip, inp, outp, changes):
    Gst.init(None)
    if Gst.ElementFactory.find("frei0r-filter-vardelk") is None:
        print("GStreamer has no frei0r-filter-vardelk (is FREI0R_PATH set, gstreamer1.0-plugins-bad installed?)")
        return 3
    if clip.startswith("snow:"):
        _, size, count = clip.split(":")
        width, height = size.split("x")
        source = "videotestsrc pattern=snow num-buffers=%s ! video/x-raw,width=%s,height=%s" % (count, width, height)
    else:
        source = "filesrc location=%s ! y4mdec" % clip
    pipeline = Gst.parse_launch(
        "%s ! videoconvert ! video/x-raw,format=RGBA ! tee name=t "
        "t. ! queue ! filesink location=%s "
        "t. ! queue ! frei0r-filter-vardelk name=effect ! filesink location=%s" % (source, inp, outp))
    effect = pipeline.get_by_name("effect")
    pending = {}
    for change in changes:
        frame, setting = change.split(":", 1)
        name, value = setting.split("=", 1)
        pending.setdefault(int(frame), []).append((name, value))
    seen = [0]

    def apply(frame):
        for name, value in pending.pop(frame, []):
            Gst.util_set_object_arg(effect, name, value)

    apply(0)

    def before_buffer(pad, info):
        apply(seen[0])
        seen[0] += 1
        return Gst.PadProbeReturn.OK

    effect.get_static_pad("sink").add_probe(Gst.PadProbeType.BUFFER, before_buffer)
    loop = GLib.MainLoop()
    failed = []

    def on_message(bus, message):
        if message.type == Gst.MessageType.ERROR:
            failed.append(message.parse_error()[0].message)
            loop.quit()
        elif message.type == Gst.MessageType.EOS:
            loop.quit()

    bus = pipeline.get_bus()
    bus.add_signal_watch()
    bus.connect("message", on_message)
    pipeline.set_state(Gst.State.PLAYING)
    loop.run()
    pipeline.set_state(Gst.State.NULL)
    if failed:
        print("GStreamer: " + failed[0])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]))
