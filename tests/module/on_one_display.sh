#!/usr/bin/env bash
# Runs a test program that starts Wine many times, all on one virtual display
# (when xvfb-run is there; else as it is), and waits for Wine's processes to
# end before the display closes, so that none is left holding a display that
# has gone. The program's exit status is the script's.
# Usage: on_one_display.sh PROGRAM [ARGUMENT...]
command -v xvfb-run >/dev/null || exec "$@"
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash -c '"$@"; status=$?; wineserver -w 2>/dev/null; exit $status' on_one_display "$@"
