#!/usr/bin/env bash
# GStreamer's frei0r wrapper (gstreamer1.0-plugins-bad): a Y4M clip through
# the element comes out equal to the command line's reconstruction of the
# RGBA frames it was given; properties set between buffers take effect on
# the next frame.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/host_lib.sh"
vardelk_needs gst-inspect-1.0
"$python" -c 'import gi; gi.require_version("Gst", "1.0")' 2>/dev/null ||
  vardelk_skip "GStreamer's Python bindings are not installed (python3-gi, gir1.2-gstreamer-1.0)"
# The wrapper and the Y4M reader are in gstreamer1.0-plugins-bad.
export GST_REGISTRY=$work/registry.bin
for element in frei0r-filter-vardelk y4mdec; do
  gst-inspect-1.0 "$element" >/dev/null 2>&1 || vardelk_skip "GStreamer has no $element (gstreamer1.0-plugins-bad)"
done
cd "$work"
write_matrix steep.txt

# run W H FRAMES CHANGE...: the element's input and output as raw RGBA.
# Pictures too small for GStreamer's Y4M reader come from its noise source.
run() {
  local width=$1 height=$2 frames=$3 clip=clip.y4m
  shift 3
  rm -f f_*.png
  if ((width < 8 || height < 8)); then
    clip=snow:${width}x$height:$frames
  else
    "$python" "$FRAMES" clip "$width" "$height" "$frames" clip.y4m
  fi
  render GStreamer in.rgba out.rgba -- "$python" "$here/gst_run.py" "$clip" in.rgba out.rgba "$@"
  "$python" "$FRAMES" split in.rgba "$width" "$height" f
}

# The wrapper hands a string set on a running element to the effect as the
# text itself instead of a pointer to it (any frei0r effect with a string
# parameter would read the text as an address), so the model and matrix are
# set before the stream starts; numbers and switches change between frames:
# scale code 12 for two frames, then scale code 16 (0.5) with field DCT.
run 17 9 4 0:scale-code=0.3667 0:coding-model=mpeg2enc "0:matrix=$work/steep.txt" 2:scale-code=0.5 2:field-dct=true
reference f 0 2 -s 12 --encoder mpeg2enc -m steep.txt
reference f 2 4 -s 16 --interlaced --encoder mpeg2enc -m steep.txt
check in.rgba out.rgba 17 9 f 4

# A single pixel, with the defaults (scale code 8, the default matrix).
run 1 1 2
reference f 0 2 -s 8 -m default
check in.rgba out.rgba 1 1 f 2
